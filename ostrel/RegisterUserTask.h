#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Creates a user account. It does not sign the user in.
class RegisterUserTask : public AuthBaseTask {
public:
    enum {
        ERROR_EXIST_USER_ID = 522,
        ERROR_EXIST_USER_EMAIL = 523,
        ERROR_INVALID_USER_ID = 524,
        ERROR_INVALID_USER_PASSWORD = 525,
    };

    RegisterUserTask(const std::string& userId, const std::string& password, const std::wstring& userName);
    ~RegisterUserTask() override;

    std::string stateToString(int code) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_register_user"; }

private:
    std::string userId_;
    std::string password_;
    std::wstring userName_;
};

}  // namespace Ostrel
