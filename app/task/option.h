#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/DownloadLinkSharingTask.h"
#include "ostrel/PushListenerTask.h"
#include "ostrel/UploadTask.h"

// Every engine option, each read from the settings at the moment of the call. Engine tasks read
// them in setOptionValues, which the wrappers call on the GUI thread.
class Option : public virtual Ostrel::AuthBaseTask::Option,
               public virtual Ostrel::PushListenerTask::Option,
               public virtual Ostrel::UploadTask::Option,
               public virtual Ostrel::DownloadLinkSharingTask::Option {
public:
    // BaseTask
    std::string getApiServer() override;
    bool isUsingProxyServer() override;
    std::string getProxyUserId() override;
    std::string getProxyPassword() override;
    // AuthBaseTask
    std::string getPushId() override;
    std::wstring getProfileName() override;
    // PushListenerTask
    std::string getPushServer() override;
    // TransferTask
    bool isUsingParallelTransfer() override;
    // UploadTask
    int getSaveToServerTimeout() override;
    int getKeyType() override;
    std::string getRegion() override;
    bool isWatchReceivedFile() override;
    // DownloadTask
    bool isRenameOfDuplicated() override;
    bool isResumeOfIncompleted() override;
    bool isPreserveOriginalTimeStamp() override;
    std::wstring getDownloadPath() override;
    // DownloadLinkSharingTask
    void savePrefValue(const std::string& key, const std::string& value) override;
    std::string loadPrefValue(const std::string& key) override;
    // The partner's registration host: TROVANTI_PARTNER_URL when set (tests, staging), else the
    // engine's built-in one.
    std::string getPartnerURL() override;
};
