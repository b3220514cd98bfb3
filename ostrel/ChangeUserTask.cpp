#include "ostrel/ChangeUserTask.h"

#include "ostrel/JsonUtil.h"

namespace Ostrel {

ChangeUserTask::ChangeUserTask(const std::string& password, const std::wstring& userName)
    : password_(password), userName_(userName)
{
}

ChangeUserTask::~ChangeUserTask() = default;

int ChangeUserTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    setJsonValue(request, "password", password_);
    setJsonValue(request, "user_name", userName_);
    const int r = getServerData(getApiPath("user/update"), request, response);
    // Only a new password replaces the stored one; a name-only change must not erase it, or the
    // next sign-in of this user would fail.
    if (r == 200 && !password_.empty()) {
        std::lock_guard<std::mutex> guard(authToken_->lock);
        authToken_->userPassword = password_;
    }
    return r;
}

}  // namespace Ostrel
