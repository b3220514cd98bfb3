#include "core/globalconfig.h"

#include <pwd.h>

#include <QDir>
#include <QSettings>
#include <QUuid>

#include "core/cachepath.h"
#include "core/lunchonboot.h"
#include "core/passwordencoder.h"
#include "core/writablepathchecker.h"
#include "ostrel/Defaults.h"

const char* const GlobalConfig::kProfile = "PROFILE";
const char* const GlobalConfig::kDeviceId = "DEVID";
const char* const GlobalConfig::kDevicePassword = "DEVPASSWORD";
const char* const GlobalConfig::kUserId = "USERID";
const char* const GlobalConfig::kUserPassword = "USERPASSWORD";
const char* const GlobalConfig::kRecvPath = "RECVPATH";
const char* const GlobalConfig::kApiUrl = "APIURL";
const char* const GlobalConfig::kPushUrl = "PUSHURL";
const char* const GlobalConfig::kUpdateUrl = "UPDATEURL";
const char* const GlobalConfig::kOverWrite = "OVERWRITEFLAG";
const char* const GlobalConfig::kPreserveFileTime = "PRESERVEFILETIMEFLAG";
const char* const GlobalConfig::kDeskDiscover = "DESKDISCOVERFLAG";
const char* const GlobalConfig::kFirstStarted = "FIRSTSTARTEDFLAG";
const char* const GlobalConfig::kEnableTray = "ENABLETRAY";
const char* const GlobalConfig::kEnableContext = "ENABLECONTEXT";
const char* const GlobalConfig::kSelectFilePath = "SELECTFILEPATH";
const char* const GlobalConfig::kFileLog = "FILELOG";
const char* const GlobalConfig::kLastUserPutName = "LASTUSERPUTNAME";
const char* const GlobalConfig::kUuid = "UUID";
const char* const GlobalConfig::kNotiPopup = "NOTIPOPUP";
const char* const GlobalConfig::kFirstInitPeerDevTable = "FIRSTINITPEERDEVTABLE";
const char* const GlobalConfig::kAddDeviceShareLink = "ADDDEVICESHARELINKKEY";
const char* const GlobalConfig::kDontShowFirewallAsk = "DONTSHOWFIREWALLASK";
const char* const GlobalConfig::kRunCount = "RUNCOUNT";
const char* const GlobalConfig::kUseIEProxy = "USE_IE_PROXY";
const char* const GlobalConfig::kShareLinkTermsAccepted = "SHARELINK_TERMS_ACCEPTED";
const char* const GlobalConfig::kProxyUserName = "PROXY_USERNAME";
const char* const GlobalConfig::kProxyPassword = "PROXY_PASSWORD";
const char* const GlobalConfig::kRawPrefix = "raw_";

std::atomic<bool> GlobalConfig::console_{false};
GlobalConfig* GlobalConfig::instance_ = nullptr;

GlobalConfig* GlobalConfig::instance()
{
    if (!instance_)
        instance_ = new GlobalConfig();
    return instance_;
}

void GlobalConfig::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

GlobalConfig::~GlobalConfig()
{
    delete settings_; // writes pending changes
}

void GlobalConfig::init()
{
    const QString dir = CachePath::instance()->path() + "/config";
    QDir().mkpath(dir);
    delete settings_;
    settings_ = new QSettings(dir + "/config.ini", QSettings::IniFormat);

    apiOverride_ = qEnvironmentVariable("TROVANTI_API_URL");
    pushOverride_ = qEnvironmentVariable("TROVANTI_PUSH_URL");

    setAddDeviceShareLinkFlag(false);
    if (!getFirstStartedFlag()) {
        LunchOnBoot::instance()->set(true);
        setFirstStartedFlag(true);
    }
    IncrementRunCount();
    if (!WritablePathChecker::instance()->isWritable(getRecvPath()))
        remove(kRecvPath);
}

QString GlobalConfig::filePath() const
{
    return settings_ ? settings_->fileName() : QString();
}

QString GlobalConfig::text(const char* key, const QString& fallback) const
{
    if (!settings_ || !settings_->contains(key))
        return fallback;
    return settings_->value(key).toString();
}

void GlobalConfig::setText(const char* key, const QString& value)
{
    if (!settings_)
        return;
    settings_->setValue(key, value);
    settings_->sync();
}

bool GlobalConfig::flag(const char* key, bool fallback) const
{
    if (!settings_)
        return fallback;
    return settings_->value(key, fallback).toBool();
}

void GlobalConfig::setFlag(const char* key, bool on)
{
    if (!settings_)
        return;
    settings_->setValue(key, on);
    settings_->sync();
}

void GlobalConfig::remove(const char* key)
{
    if (!settings_)
        return;
    settings_->remove(key);
    settings_->sync();
}

QString GlobalConfig::getProfile() const
{
    if (settings_ && settings_->contains(kProfile))
        return settings_->value(kProfile).toString();
    return defaultProfile();
}

void GlobalConfig::setProfile(const QString& value)
{
    setText(kProfile, value);
}
QString GlobalConfig::getDeviceID() const
{
    return text(kDeviceId);
}
void GlobalConfig::setDeviceID(const QString& value)
{
    setText(kDeviceId, value);
}

QString GlobalConfig::getDevicePassword() const
{
    return PasswordEncoder::instance()->decode(text(kDevicePassword));
}

void GlobalConfig::setDevicePassowrd(const QString& value)
{
    setText(kDevicePassword, PasswordEncoder::instance()->encode(value));
}

QString GlobalConfig::getUserID() const
{
    return text(kUserId);
}
void GlobalConfig::setUserID(const QString& value)
{
    setText(kUserId, value);
}
void GlobalConfig::removeUserID()
{
    remove(kUserId);
}

QString GlobalConfig::getUserPassword() const
{
    return PasswordEncoder::instance()->decode(text(kUserPassword));
}

void GlobalConfig::setUserPassword(const QString& value)
{
    setText(kUserPassword, PasswordEncoder::instance()->encode(value));
}

void GlobalConfig::removeUserPassword()
{
    remove(kUserPassword);
}

QString GlobalConfig::getRecvPath() const
{
    // The default creates ~/Downloads, so compute it only when nothing is stored.
    if (settings_ && settings_->contains(kRecvPath))
        return settings_->value(kRecvPath).toString();
    return defaultRecvPath();
}

void GlobalConfig::setRecvPath(const QString& value)
{
    setText(kRecvPath, value);
}

QString GlobalConfig::getAPIUrl() const
{
    return apiOverride_.isEmpty() ? text(kApiUrl, defaultAPIUrl()) : apiOverride_;
}

void GlobalConfig::setAPIUrl(const QString& value)
{
    setText(kApiUrl, value);
}

QString GlobalConfig::getPushUrl() const
{
    return pushOverride_.isEmpty() ? text(kPushUrl, defaultPushUrl()) : pushOverride_;
}

void GlobalConfig::setPushUrl(const QString& value)
{
    setText(kPushUrl, value);
}
QString GlobalConfig::getUpdateURL() const
{
    return text(kUpdateUrl, defaultUpdateURL());
}

QString GlobalConfig::getSelectFilePath() const
{
    return text(kSelectFilePath, defaultSelectFilePath());
}

void GlobalConfig::setSelectFilePath(const QString& value)
{
    setText(kSelectFilePath, value);
}
QString GlobalConfig::getLastPutUserName() const
{
    return text(kLastUserPutName);
}
void GlobalConfig::setLastPutUserName(const QString& value)
{
    setText(kLastUserPutName, value);
}

QString GlobalConfig::getUUID()
{
    QString id = text(kUuid);
    if (id.isEmpty()) {
        id = QUuid::createUuid().toString(QUuid::WithBraces);
        setText(kUuid, id);
    }
    return id;
}

QString GlobalConfig::getProxyUserName() const
{
    return text(kProxyUserName);
}
void GlobalConfig::setProxyUserName(const QString& value)
{
    setText(kProxyUserName, value);
}
QString GlobalConfig::getProxyPassword() const
{
    return text(kProxyPassword);
}
void GlobalConfig::setProxyPassword(const QString& value)
{
    setText(kProxyPassword, value);
}

void GlobalConfig::saveRawValue(const QString& name, const QString& value)
{
    setText((QString::fromLatin1(kRawPrefix) + name).toUtf8().constData(), value);
}

QString GlobalConfig::readRawValue(const QString& name) const
{
    return text((QString::fromLatin1(kRawPrefix) + name).toUtf8().constData());
}

QString GlobalConfig::profileFromGecos(const QString& gecos)
{
    return gecos.section(',', 0, 0);
}

QString GlobalConfig::defaultProfile()
{
    const QByteArray user = qgetenv("USER");
    if (user.isEmpty())
        return QString();
    const passwd* entry = getpwnam(user.constData());
    if (entry && entry->pw_gecos)
        return profileFromGecos(QString::fromLocal8Bit(entry->pw_gecos));
    return QString::fromLocal8Bit(user);
}

QString GlobalConfig::defaultRecvPath()
{
    const QString path = QDir::homePath() + "/Downloads";
    if (!QDir(path).exists())
        QDir().mkpath(path);
    return path;
}

QString GlobalConfig::defaultSelectFilePath()
{
    return QDir::homePath();
}
QString GlobalConfig::defaultAPIUrl()
{
    return QString::fromLatin1(Ostrel::Defaults::kApiUrl);
}
QString GlobalConfig::defaultPushUrl()
{
    return QString::fromLatin1(Ostrel::Defaults::kPushUrl);
}

QString GlobalConfig::defaultUpdateURL()
{
    return QString("http://127.0.0.1:%1/desktop/osx/version.php").arg(Ostrel::Defaults::kServicePort);
}

bool GlobalConfig::getOverWriteFlag() const
{
    return flag(kOverWrite, false);
}
void GlobalConfig::setOverWriteFlag(bool on)
{
    setFlag(kOverWrite, on);
}
bool GlobalConfig::getPreserveFileTimeFlag() const
{
    return flag(kPreserveFileTime, true);
}
void GlobalConfig::setPreserveFileTimeFlag(bool on)
{
    setFlag(kPreserveFileTime, on);
}
bool GlobalConfig::getDeskDiscoverableFlag() const
{
    return flag(kDeskDiscover, true);
}
void GlobalConfig::setDeskDiscoverableFlag(bool on)
{
    setFlag(kDeskDiscover, on);
}
bool GlobalConfig::getFirstStartedFlag() const
{
    return flag(kFirstStarted, false);
}
void GlobalConfig::setFirstStartedFlag(bool on)
{
    setFlag(kFirstStarted, on);
}
bool GlobalConfig::getNotiPopupFlag() const
{
    return flag(kNotiPopup, true);
}
void GlobalConfig::setNotiPopupFlag(bool on)
{
    setFlag(kNotiPopup, on);
}
bool GlobalConfig::getEnableFileLogFlag() const
{
    return flag(kFileLog, false);
}
void GlobalConfig::setEnableFileLogFlag(bool on)
{
    setFlag(kFileLog, on);
}
bool GlobalConfig::getEnableTrayFlag() const
{
    return flag(kEnableTray, true);
}
void GlobalConfig::setEnableTrayFlag(bool on)
{
    setFlag(kEnableTray, on);
}
bool GlobalConfig::getEnableContextFlag() const
{
    return flag(kEnableContext, true);
}
void GlobalConfig::setEnableContextFlag(bool on)
{
    setFlag(kEnableContext, on);
}
bool GlobalConfig::getUseIEProxy() const
{
    return flag(kUseIEProxy, false);
}
void GlobalConfig::setUseIEProxy(bool on)
{
    setFlag(kUseIEProxy, on);
}
bool GlobalConfig::getShareLinkTermsAccepted() const
{
    return flag(kShareLinkTermsAccepted, false);
}
void GlobalConfig::setShareLinkTermsAccepted(bool on)
{
    setFlag(kShareLinkTermsAccepted, on);
}
bool GlobalConfig::getAddDeviceShareLinkFlag() const
{
    return flag(kAddDeviceShareLink, true);
}
void GlobalConfig::setAddDeviceShareLinkFlag(bool on)
{
    setFlag(kAddDeviceShareLink, on);
}
bool GlobalConfig::getDontShowFirewallAsk() const
{
    return flag(kDontShowFirewallAsk, false);
}
void GlobalConfig::setDontShowFirewallAsk(bool on)
{
    setFlag(kDontShowFirewallAsk, on);
}
bool GlobalConfig::getFirstInitPeerDevTable() const
{
    return flag(kFirstInitPeerDevTable, false);
}
void GlobalConfig::setFirstInitPeerDevTable(bool on)
{
    setFlag(kFirstInitPeerDevTable, on);
}

bool GlobalConfig::getLaunchOnBootFlag() const
{
    return LunchOnBoot::instance()->isSet();
}
void GlobalConfig::setLaunchOnBootFlag(bool on)
{
    LunchOnBoot::instance()->set(on);
}

int GlobalConfig::getRunCount() const
{
    return settings_ ? settings_->value(kRunCount, 0).toInt() : 0;
}

void GlobalConfig::IncrementRunCount()
{
    if (!settings_)
        return;
    settings_->setValue(kRunCount, getRunCount() + 1);
    settings_->sync();
}

bool GlobalConfig::containUserInfo() const
{
    return !getUserID().isEmpty() && !getUserPassword().isEmpty();
}

QString GlobalConfig::getIronUUID() const
{
    // The installer records this id in the Windows registry; Linux has no such store.
    return QString();
}
