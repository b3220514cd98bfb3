#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Signs the user out and falls back to the device sign-in.
class LogoutUserTask : public AuthBaseTask {
public:
    LogoutUserTask();
    ~LogoutUserTask() override;

protected:
    bool action() override;
    int updateServer() override { return 200; }
    std::string getAnalyticsCategory() override { return "task_logout_user"; }
};

}  // namespace Ostrel
