#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Tells the service whether the user accepted or ignored a pushed key.
class ReplyPushKeyTask : public AuthBaseTask {
public:
    ReplyPushKeyTask(const std::wstring& key, bool accept);
    ~ReplyPushKeyTask() override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_reply_push_key"; }

private:
    std::wstring key_;
    bool accept_;
};

}  // namespace Ostrel
