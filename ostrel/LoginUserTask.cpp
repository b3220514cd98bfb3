#include "ostrel/LoginUserTask.h"

namespace Ostrel {

LoginUserTask::LoginUserTask(const std::string& userId, const std::string& password)
    : userId_(userId), password_(password)
{
}

LoginUserTask::~LoginUserTask() = default;

bool LoginUserTask::action()
{
    int r;
    {
        std::lock_guard<std::mutex> guard(authToken_->lock);
        // The device session comes first; without it the user sign-in is still tried.
        if (authToken_->authToken.empty())
            authProcess();
        authToken_->userId = userId_;
        authToken_->userPassword = password_;
        r = loginUser();
        if (r != 200) {
            authToken_->userId.clear();
            authToken_->userPassword.clear();
        }
    }
    // Every failure gets its reason, including a wrong API key and a proxy that wants credentials.
    return reportResult(r);
}

}  // namespace Ostrel
