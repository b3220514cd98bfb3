#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/PushListenerTask.h"

// Every engine option, each read from the settings at the moment of the call. Engine tasks read
// them in setOptionValues, which the wrappers call on the GUI thread.
class Option : public virtual Ostrel::AuthBaseTask::Option, public virtual Ostrel::PushListenerTask::Option {
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
    // Transfer tasks
    virtual bool isUsingParallelTransfer();
    virtual int getSaveToServerTimeout();
    virtual int getKeyType();
    virtual std::string getRegion();
    virtual bool isWatchReceivedFile();
    virtual bool isRenameOfDuplicated();
    virtual bool isResumeOfIncompleted();
    virtual bool isPreserveOriginalTimeStamp();
    virtual std::wstring getDownloadPath();
    virtual void savePrefValue(const std::string& key, const std::string& value);
    virtual std::string loadPrefValue(const std::string& key);
};
