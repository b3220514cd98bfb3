#pragma once

#include <string>

#include "ostrel/DownloadTask.h"
#include "ostrel/PushListenerTask.h"
#include "ostrel/UploadTask.h"

// The settings every engine task of this process reads: one object implementing all the option
// interfaces, filled from the command line, the environment and the settings file.
class EngineOption : public Ostrel::UploadTask::Option,
                     public Ostrel::DownloadTask::Option,
                     public Ostrel::PushListenerTask::Option {
public:
    std::string apiUrl;
    std::string pushUrl;
    std::string pushId;
    std::wstring profileName;
    std::wstring downloadPath;
    bool rename = true;
    bool resume = true;

    std::string getApiServer() override { return apiUrl; }
    std::string getPushId() override { return pushId; }
    std::wstring getProfileName() override { return profileName; }
    std::string getPushServer() override { return pushUrl; }
    bool isRenameOfDuplicated() override { return rename; }
    bool isResumeOfIncompleted() override { return resume; }
    bool isPreserveOriginalTimeStamp() override { return true; }
    std::wstring getDownloadPath() override { return downloadPath; }
};
