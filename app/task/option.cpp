#include "task/option.h"

#include <QByteArray>
#include <QtGlobal>

#include "core/globalconfig.h"

namespace {
GlobalConfig* config() { return GlobalConfig::instance(); }
}  // namespace

std::string Option::getApiServer() { return config()->getAPIUrl().toStdString(); }
bool Option::isUsingProxyServer() { return config()->getUseIEProxy(); }
std::string Option::getProxyUserId() { return config()->getProxyUserName().toStdString(); }
std::string Option::getProxyPassword() { return config()->getProxyPassword().toStdString(); }
std::string Option::getPushId() { return std::string(); }
std::wstring Option::getProfileName() { return config()->getProfile().toStdWString(); }
std::string Option::getPushServer() { return config()->getPushUrl().toStdString(); }
bool Option::isUsingParallelTransfer() { return true; }
int Option::getSaveToServerTimeout() { return 0; }
int Option::getKeyType() { return 0; }
std::string Option::getRegion() { return std::string(); }
bool Option::isWatchReceivedFile() { return true; }
bool Option::isRenameOfDuplicated() { return !config()->getOverWriteFlag(); }
bool Option::isResumeOfIncompleted() { return true; }
bool Option::isPreserveOriginalTimeStamp() { return config()->getPreserveFileTimeFlag(); }
std::wstring Option::getDownloadPath() { return config()->getRecvPath().toStdWString(); }

void Option::savePrefValue(const std::string& key, const std::string& value)
{
    config()->saveRawValue(QString::fromStdString(key), QString::fromStdString(value));
}

std::string Option::loadPrefValue(const std::string& key)
{
    return config()->readRawValue(QString::fromStdString(key)).toStdString();
}

std::string Option::getPartnerURL()
{
    if (qEnvironmentVariableIsSet("TROVANTI_PARTNER_URL"))
        return qgetenv("TROVANTI_PARTNER_URL").toStdString();
    return Ostrel::DownloadLinkSharingTask::Option::getPartnerURL();
}
