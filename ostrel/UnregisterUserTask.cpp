#include "ostrel/UnregisterUserTask.h"

#include "ostrel/JsonUtil.h"

namespace Ostrel {

UnregisterUserTask::UnregisterUserTask() = default;

UnregisterUserTask::~UnregisterUserTask() = default;

int UnregisterUserTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    setJsonValue(request, "password", authToken_->userPassword);
    const int r = getServerData(getApiPath("user/unregister"), request, response);
    if (r == 200) {
        std::lock_guard<std::mutex> guard(authToken_->lock);
        authToken_->userId.clear();
        authToken_->userPassword.clear();
    }
    return r;
}

}  // namespace Ostrel
