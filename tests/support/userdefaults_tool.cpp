// userdefaults_tool: reads or writes one preference in a separate process, the way a second
// run of the program would.
//   userdefaults_tool FILE write TYPE KEY VALUE   (TYPE: string, int, bool, float)
//   userdefaults_tool FILE read TYPE KEY          prints the value, or <null> for an absent string
//   userdefaults_tool FILE loop int KEY COUNT     writes 1 to COUNT, flushing after each
// Started as root with USERDEFAULTS_TOOL_UID set, it first becomes that user (with the same
// group id), so that a test run as root can meet files that its user cannot read.
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QTextStream>

#include <grp.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool becomeRequestedUser()
{
    const char *uid = std::getenv("USERDEFAULTS_TOOL_UID");
    if (!uid)
        return true;
    const auto id = static_cast<uid_t>(std::strtoul(uid, nullptr, 10));
    return ::setgroups(0, nullptr) == 0 && ::setresgid(id, id, id) == 0
        && ::setresuid(id, id, id) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (!becomeRequestedUser())
        return 3;
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return 2;
    UserDefaults store(args[1]);
    const QString &mode = args[2], &type = args[3], &key = args[4];
    QTextStream out(stdout);
    if (mode == QLatin1String("write") && args.size() == 6) {
        const QString &value = args[5];
        if (type == QLatin1String("string"))
            store.setString(value, key);
        else if (type == QLatin1String("int"))
            store.setInteger(value.toInt(), key);
        else if (type == QLatin1String("bool"))
            store.setBool(value == QLatin1String("true"), key);
        else if (type == QLatin1String("float"))
            store.setFloat(value.toFloat(), key);
        else
            return 2;
        return store.synchronize() ? 0 : 1;
    }
    if (mode == QLatin1String("loop") && args.size() == 6) {
        const int count = args[5].toInt();
        for (int i = 1; i <= count; ++i) {
            store.setInteger(i, key);
            if (!store.synchronize())
                return 1;
        }
        return 0;
    }
    if (mode != QLatin1String("read"))
        return 2;
    if (type == QLatin1String("string")) {
        const QString value = store.stringForKey(key);
        out << (value.isNull() ? QStringLiteral("<null>") : value);
    } else if (type == QLatin1String("int")) {
        out << store.integerForKey(key);
    } else if (type == QLatin1String("bool")) {
        out << (store.boolForKey(key) ? "true" : "false");
    } else if (type == QLatin1String("float")) {
        out << QString::number(double(store.floatForKey(key)), 'g', 9);
    } else {
        return 2;
    }
    return 0;
}
