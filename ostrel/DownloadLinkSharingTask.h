#pragma once

#include <string>
#include <vector>

#include "ostrel/Defaults.h"
#include "ostrel/DownloadTask.h"
#include "ostrel/TransferInfo.h"

namespace Ostrel {

// Receives the files of a partner-cloud (Velora) link-sharing key. The key lookup yields the partner
// authorization key; the session then registers this device with the partner, obtains partner tokens,
// asks for the key's download list and fetches the files from the partner's URLs, several at once.
// Partner credentials persist between runs through the option's preference store.
class DownloadLinkSharingTask : public DownloadTask {
public:
    class Option : public virtual DownloadTask::Option {
    public:
        // Persistent narrow-string preferences ("auth_key", "device_id", "share_server", "velora_uid",
        // "refresh_token", "access_token").
        virtual void savePrefValue(const std::string& name, const std::string& value) = 0;
        virtual std::string loadPrefValue(const std::string& name) = 0;
        // Base of the partner's fixed registration host: scheme, "://", host and optional port; any
        // trailing "/" is ignored. The scheme given here is the one used.
        virtual std::string getPartnerURL() { return Defaults::kPartnerUrl; }
    };

    // The partner session: registration, token refresh and the download list instead of the
    // service's file server. Reports other than "transfer" and "query" are answered locally.
    class LSTransferInfo : public TransferInfo {
    public:
        static const char* const RCODE_EXPIRED_ACCESS;  // "4000400112"
        static const char* const RCODE_WRONG_KEY;       // "4000201016"

        LSTransferInfo();

        void loadInfo(const std::string& authorizationKey, Option* option);
        int registerDevice();
        int login();
        std::string update(const std::string& path, const std::wstring& key, const char* state,
                           const std::vector<LocalFile>& files) override;
        void savePrefValue(const std::string& name, const std::string& value);
        std::string loadPrefValue(const std::string& name);

        const std::string& authorizationKey() const { return authorizationKey_; }
        const std::string& shareServer() const { return shareServer_; }
        const std::string& refreshToken() const { return refreshToken_; }
        const std::string& accessToken() const { return accessToken_; }
        const std::string& partnerUid() const { return partnerUid_; }
        const std::string& deviceId() const { return deviceId_; }
        // The registration base in use (the option's, else the built-in default), without a trailing "/".
        std::string partnerURL() const;

    private:
        // One attempt of update(): true when the reply carried "contents"; `result` is set to
        // "wrong_key" when the partner does not know the key.
        bool fetchDownloadList(const std::wstring& key, std::string& result);
        void installChannel();

        Option* option_ = nullptr;
        std::string authorizationKey_;
        std::string shareServer_;
        std::string refreshToken_;
        std::string accessToken_;
        std::string partnerUid_;
        std::string deviceId_;
    };

    DownloadLinkSharingTask(const std::wstring& key, const std::wstring& directory);
    // The session is a member, so the run must end before it goes.
    ~DownloadLinkSharingTask() override;

    void setOptionValues(BaseTask::Option* option) override;

    const LSTransferInfo& session() const { return session_; }

protected:
    int updateKey() override;
    std::string getAnalyticsCategory() override { return "download_linksharing"; }

private:
    LSTransferInfo session_;
    Option* option_ = nullptr;
    std::string authorizationKey_;
};

}  // namespace Ostrel
