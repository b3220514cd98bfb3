#include "ostrel/RegisterUserTask.h"

#include "ostrel/JsonUtil.h"

namespace Ostrel {

RegisterUserTask::RegisterUserTask(const std::string& userId, const std::string& password,
                                   const std::wstring& userName)
    : userId_(userId), password_(password), userName_(userName)
{
}

RegisterUserTask::~RegisterUserTask() = default;

std::string RegisterUserTask::stateToString(int code)
{
    switch (code) {
    case ERROR_EXIST_USER_ID:
        return "ERROR_EXIST_USER_ID";
    case ERROR_EXIST_USER_EMAIL:
        return "ERROR_EXIST_USER_EMAIL";
    case ERROR_INVALID_USER_ID:
        return "ERROR_INVALID_USER_ID";
    case ERROR_INVALID_USER_PASSWORD:
        return "ERROR_INVALID_USER_PASSWORD";
    default:
        return AuthBaseTask::stateToString(code);
    }
}

int RegisterUserTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    setJsonValue(request, "user_id", userId_);
    setJsonValue(request, "password", password_);
    setJsonValue(request, "user_name", userName_);
    const int r = getServerData(getApiPath("user/register"), request, response);
    if (r != 200)
        return r;
    // The service reports refused registrations in a 200 answer.
    const std::string error = getJsonValue(response, "error", "");
    int detail = 0;
    if (error == "exist_user_id")
        detail = ERROR_EXIST_USER_ID;
    else if (error == "exist_email")
        detail = ERROR_EXIST_USER_EMAIL;
    else if (error == "invalid_user_id")
        detail = ERROR_INVALID_USER_ID;
    else if (error == "invalid_password")
        detail = ERROR_INVALID_USER_PASSWORD;
    if (detail == 0)
        return 200;
    progress(2, detail);
    return 0;
}

}  // namespace Ostrel
