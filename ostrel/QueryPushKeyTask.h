#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Fetches the details of a pushed key (value 256: KeyInfo).
class QueryPushKeyTask : public AuthBaseTask {
public:
    struct KeyInfo {
        std::wstring key;
        std::int32_t expiresTime = 0;
        std::int32_t fileNumber = 0;
        std::uint64_t fileSize = 0;
        std::wstring comment;
        std::vector<unsigned char> thumbnail;
        std::int32_t sentTime = 0;
        std::string deviceId;
        std::string deviceName;
        std::wstring profileName;
        std::string osType;
    };
    enum { ERROR_NO_EXIST_KEY = 522, VALUE_KEY_INFO = 256 };

    explicit QueryPushKeyTask(const std::wstring& key);
    explicit QueryPushKeyTask(const wchar_t* key);
    ~QueryPushKeyTask() override;

    std::string stateToString(int code) override;
    boost::any getValue(int key) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_query_push_key"; }

private:
    std::wstring key_;
    KeyInfo info_;
};

}  // namespace Ostrel
