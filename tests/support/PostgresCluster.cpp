// PostgresCluster: initdb and pg_ctl from Debian's postgresql-15, run as an unprivileged user
// when the tests run as root (CI does), since neither agrees to run as root.
#include "PostgresCluster.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>

#include <pwd.h>
#include <unistd.h>

namespace {

const QString binaries = QStringLiteral("/usr/lib/postgresql/15/bin/");
const QString superuser = QStringLiteral("peregrix");

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

} // namespace

PostgresCluster::PostgresCluster() = default;

PostgresCluster::~PostgresCluster()
{
    if (m_running)
        run(binaries + "pg_ctl", { "-D", m_dir.filePath("data"), "-m", "immediate", "-w", "stop" });
}

bool PostgresCluster::run(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(m_dir.path());
    if (::geteuid() == 0)
        process.start(
            QStringLiteral("runuser"), QStringList { "-u", "postgres", "--", program } + arguments);
    else
        process.start(program, arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    const QString output = QString::fromLocal8Bit(process.readAll());
    if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    m_error = QStringLiteral("%1 %2 failed: %3 %4")
                  .arg(program, arguments.join(' '), process.errorString(), output);
    return false;
}

bool PostgresCluster::start()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    if (!QFile::exists(binaries + "initdb")) {
        m_error = binaries
            + "initdb is missing: PostgreSQL 15 is not installed"
              " (scripts/install-deps installs it)";
        return false;
    }
    if (::geteuid() == 0) {
        const passwd *user = ::getpwnam("postgres");
        if (!user
            || ::chown(QFile::encodeName(m_dir.path()).constData(), user->pw_uid, user->pw_gid)
                != 0) {
            m_error = QStringLiteral("cannot give the temporary folder to the user postgres");
            return false;
        }
    }
    // No fsync during initdb: the cluster lives as long as the test.
    if (!run(binaries + "initdb",
            { "-D", m_dir.filePath("data"), "-A", "trust", "-U", superuser, "-E", "UTF8",
                "--no-sync", "--locale=C.UTF-8" }))
        return false;
    for (int attempt = 0; attempt < 5 && !m_running; ++attempt) {
        m_port = freePort();
        launch();
    }
    return m_running;
}

void PostgresCluster::launch()
{
    const QString options
        = QStringLiteral("-c listen_addresses=127.0.0.1 -p %1 -k %2").arg(m_port).arg(m_dir.path());
    m_running = run(binaries + "pg_ctl",
        { "-D", m_dir.filePath("data"), "-o", options, "-l", m_dir.filePath("log"), "-w", "-t",
            "60", "start" });
    if (!m_running) {
        QFile log(m_dir.filePath("log"));
        if (log.open(QIODevice::ReadOnly))
            m_error += QString::fromLocal8Bit(log.readAll());
    }
}

bool PostgresCluster::stop()
{
    // "fast" ends every client's session at once, as a restart by the administrator does.
    m_running
        = !run(binaries + "pg_ctl", { "-D", m_dir.filePath("data"), "-m", "fast", "-w", "stop" });
    return !m_running;
}

bool PostgresCluster::startAgain()
{
    launch();
    return m_running;
}

bool PostgresCluster::execute(const QString &database, const QString &sql)
{
    const QString connection = QStringLiteral("postgres-cluster-admin");
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(QStringLiteral("127.0.0.1"));
        db.setPort(m_port);
        db.setUserName(superuser);
        db.setDatabaseName(database);
        if (db.open()) {
            QSqlQuery query(db);
            done = query.exec(sql);
            if (!done)
                m_error = query.lastError().text();
            db.close();
        } else {
            m_error = db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return done;
}

QString PostgresCluster::createDatabase(const QString &name)
{
    if (!execute(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(name)))
        return {};
    return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3").arg(superuser).arg(m_port).arg(name);
}

void PostgresCluster::emptyDatabase(const QString &name)
{
    execute(name, QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public"));
}
