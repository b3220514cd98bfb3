#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Signs a user in on this device; the user token then replaces the device token for every task.
class LoginUserTask : public AuthBaseTask {
public:
    LoginUserTask(const std::string& userId, const std::string& password);
    ~LoginUserTask() override;

protected:
    bool action() override;
    int updateServer() override { return 200; }
    std::string getAnalyticsCategory() override { return "task_login_user"; }

private:
    std::string userId_;
    std::string password_;
};

}  // namespace Ostrel
