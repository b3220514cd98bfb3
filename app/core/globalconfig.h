#pragma once

#include <atomic>

#include <QString>

class QSettings;

// The user's settings and the device's and account's credentials, one INI file
// ("config/config.ini" under the data directory). Getters read the file anew with a fixed
// default; setters write at once. GUI thread only, except the console flag.
class GlobalConfig
{
public:
    static GlobalConfig* instance();
    static void cleanUp();

    static const char* const kProfile;
    static const char* const kDeviceId;
    static const char* const kDevicePassword;
    static const char* const kUserId;
    static const char* const kUserPassword;
    static const char* const kRecvPath;
    static const char* const kApiUrl;
    static const char* const kPushUrl;
    static const char* const kUpdateUrl;
    static const char* const kOverWrite;
    static const char* const kPreserveFileTime;
    static const char* const kDeskDiscover;
    static const char* const kFirstStarted;
    static const char* const kEnableTray;
    static const char* const kEnableContext;
    static const char* const kSelectFilePath;
    static const char* const kFileLog;
    static const char* const kLastUserPutName;
    static const char* const kUuid;
    static const char* const kNotiPopup;
    static const char* const kFirstInitPeerDevTable;
    static const char* const kAddDeviceShareLink;
    static const char* const kDontShowFirewallAsk;
    static const char* const kRunCount;
    static const char* const kUseIEProxy;
    static const char* const kShareLinkTermsAccepted;
    static const char* const kProxyUserName;
    static const char* const kProxyPassword;
    static const char* const kRawPrefix;

    // Opens the settings file and applies the start-up rules (first start, run counter, share-link
    // flag, receive folder). Also reads the address overrides TROVANTI_API_URL and
    // TROVANTI_PUSH_URL (scripts/run.sh sets them to point the client at a chosen service); an
    // override wins over the stored value while this process runs and is never written to the file.
    void init();

    // Path of the settings file; empty before init.
    QString filePath() const;

    QString getProfile() const;
    void setProfile(const QString& value);
    QString getDeviceID() const;
    void setDeviceID(const QString& value);
    QString getDevicePassword() const;
    void setDevicePassowrd(const QString& value);
    QString getUserID() const;
    void setUserID(const QString& value);
    void removeUserID();
    QString getUserPassword() const;
    void setUserPassword(const QString& value);
    void removeUserPassword();
    QString getRecvPath() const;
    void setRecvPath(const QString& value);
    QString getAPIUrl() const;
    void setAPIUrl(const QString& value);
    QString getPushUrl() const;
    void setPushUrl(const QString& value);
    QString getUpdateURL() const;
    QString getSelectFilePath() const;
    void setSelectFilePath(const QString& value);
    QString getLastPutUserName() const;
    void setLastPutUserName(const QString& value);
    QString getUUID();
    QString getProxyUserName() const;
    void setProxyUserName(const QString& value);
    QString getProxyPassword() const;
    void setProxyPassword(const QString& value);
    void saveRawValue(const QString& name, const QString& value);
    QString readRawValue(const QString& name) const;

    static QString defaultProfile();
    // The first comma-separated piece of a GECOS field.
    static QString profileFromGecos(const QString& gecos);
    static QString defaultRecvPath();
    static QString defaultSelectFilePath();
    static QString defaultAPIUrl();
    static QString defaultPushUrl();
    static QString defaultUpdateURL();

    bool getOverWriteFlag() const;
    void setOverWriteFlag(bool on);
    bool getPreserveFileTimeFlag() const;
    void setPreserveFileTimeFlag(bool on);
    bool getDeskDiscoverableFlag() const;
    void setDeskDiscoverableFlag(bool on);
    bool getFirstStartedFlag() const;
    void setFirstStartedFlag(bool on);
    bool getNotiPopupFlag() const;
    void setNotiPopupFlag(bool on);
    bool getEnableFileLogFlag() const;
    void setEnableFileLogFlag(bool on);
    bool getEnableTrayFlag() const;
    void setEnableTrayFlag(bool on);
    bool getEnableContextFlag() const;
    void setEnableContextFlag(bool on);
    bool getUseIEProxy() const;
    void setUseIEProxy(bool on);
    bool getShareLinkTermsAccepted() const;
    void setShareLinkTermsAccepted(bool on);
    bool getAddDeviceShareLinkFlag() const;
    void setAddDeviceShareLinkFlag(bool on);
    bool getDontShowFirewallAsk() const;
    void setDontShowFirewallAsk(bool on);
    bool getFirstInitPeerDevTable() const;
    void setFirstInitPeerDevTable(bool on);

    bool getLaunchOnBootFlag() const;
    void setLaunchOnBootFlag(bool on);

    int getRunCount() const;
    void IncrementRunCount();

    bool containUserInfo() const;

    // The console flag is read by log lines from any thread and outlives the store, so lines
    // written after clean-up still reach the console.
    bool getConsole() const { return console_.load(); }
    void setConsole(bool on) { console_.store(on); }
    static bool consoleEnabled() { return console_.load(); }

    QString getIronUUID() const;

    virtual ~GlobalConfig();

private:
    GlobalConfig() = default;

    QString text(const char* key, const QString& fallback = QString()) const;
    void setText(const char* key, const QString& value);
    bool flag(const char* key, bool fallback) const;
    void setFlag(const char* key, bool on);
    void remove(const char* key);

    QSettings* settings_ = nullptr;
    QString apiOverride_;
    QString pushOverride_;
    static std::atomic<bool> console_;
    static GlobalConfig* instance_;
};
