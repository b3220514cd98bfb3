#pragma once

#include <cstddef>
#include <string>

#include <boost/logic/tribool.hpp>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Pushes a transfer key straight to one device (value 256: PushResult).
class PushKeyTask : public AuthBaseTask {
public:
    enum PushResult { PUSH_ACCEPTED = 0, PUSH_IGNORED = 1, PUSH_NO_ANSWER = 2 };
    enum { ERROR_SEND_KEY_FAILED = 522, VALUE_PUSH_RESULT = 256 };

    // The picture bytes are kept Base64-encoded; an empty comment or picture means none.
    PushKeyTask(const std::wstring& key, const std::string& deviceId, const std::wstring& comment,
                const std::string& thumbnailBytes);
    // Null comment or null picture means none.
    PushKeyTask(const wchar_t* key, const char* deviceId, const wchar_t* comment, const unsigned char* picture,
                std::size_t pictureLength);
    ~PushKeyTask() override;

    std::string stateToString(int code) override;
    boost::any getValue(int key) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_push_key"; }

private:
    std::wstring key_;
    std::string deviceId_;
    std::wstring comment_;
    std::string thumbnail_;
    // The sender never learns the receiver's answer, so this stays unknown.
    boost::logic::tribool replyState_ = boost::logic::indeterminate;
};

}  // namespace Ostrel
