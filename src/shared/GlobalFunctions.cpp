// GlobalData: the process-wide service object (server URL, version, alerts, reachability,
// theme colour).
#include "GlobalFunctions.h"

#include "PreferenceKeys.h"
#include "ThemeColour.h"

#include "platform/Alert.h"
#include "platform/Reachability.h"
#include "platform/UserDefaults.h"

#include <mutex>

namespace {

GlobalData *sharedGlobalData = nullptr;
std::mutex instanceLock;

} // namespace

GlobalData::GlobalData()
    : m_url(defaultUrl())
{ }

QString GlobalData::defaultUrl()
{
    return QStringLiteral(PEREGRIX_BASE_URL);
}

GlobalData *GlobalData::sharedGlobalData()
{
    const std::lock_guard lock(instanceLock);
    if (!::sharedGlobalData)
        ::sharedGlobalData = new GlobalData;
    return ::sharedGlobalData;
}

GlobalData *GlobalData::allocWithZone()
{
    const std::lock_guard lock(instanceLock);
    if (::sharedGlobalData)
        return nullptr;
    ::sharedGlobalData = new GlobalData;
    return ::sharedGlobalData;
}

void GlobalData::_showAlert(const QString &message)
{
    _showAlert(message, QStringLiteral(""));
}

void GlobalData::_showAlert(const QString &message, const QString &title)
{
    Alert::show(title, message);
}

bool GlobalData::connectedToNetwork() const
{
    // The any-address 0.0.0.0, port 0: reachable means there is a way out to the network.
    Reachability::Address zeroAddress {};
    zeroAddress[0] = quint8(zeroAddress.size()); // length of the record
    zeroAddress[1] = 2; // IPv4
    const std::optional<Reachability::Flags> flags = Reachability::flags(zeroAddress);
    if (!flags)
        return false;
    const bool isReachable = flags->testFlag(Reachability::Reachable);
    const bool needsConnection = flags->testFlag(Reachability::ConnectionRequired);
    return isReachable && !needsConnection;
}

QColor GlobalData::getBackgroundColour() const
{
    return ThemeColour::fromStoredText(
        UserDefaults::standardUserDefaults().stringForKey(PreferenceKeys::bg));
}
