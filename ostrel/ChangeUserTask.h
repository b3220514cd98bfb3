#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Changes the signed-in user's password and/or name; empty values are left unchanged.
class ChangeUserTask : public AuthBaseTask {
public:
    ChangeUserTask(const std::string& password, const std::wstring& userName);
    ~ChangeUserTask() override;

    bool isRequiredLogin() override { return true; }

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_change_user"; }

private:
    std::string password_;
    std::wstring userName_;
};

}  // namespace Ostrel
