#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Deletes the signed-in user's account; the device stays signed in with its current token.
class UnregisterUserTask : public AuthBaseTask {
public:
    UnregisterUserTask();
    ~UnregisterUserTask() override;

    bool isRequiredLogin() override { return true; }

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_unregister_user"; }
};

}  // namespace Ostrel
