#include "ostrel/LogoutUserTask.h"

namespace Ostrel {

LogoutUserTask::LogoutUserTask() = default;

LogoutUserTask::~LogoutUserTask() = default;

bool LogoutUserTask::action()
{
    {
        std::lock_guard<std::mutex> guard(authToken_->lock);
        const std::string token = authToken_->authToken;
        logout();
        authToken_->userId.clear();
        authToken_->userPassword.clear();
        // Even when the service did not confirm (expired token, network trouble) the user token must
        // not outlive the sign-out, or later tasks would still act as the user.
        if (!token.empty() && authToken_->authToken == token)
            authToken_->authToken.clear();
    }
    return AuthBaseTask::action();
}

}  // namespace Ostrel
