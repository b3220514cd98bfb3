#include "ostrel/DeleteKeyTask.h"

#include "ostrel/URLEncodeUtil.h"

namespace Ostrel {

DeleteKeyTask::DeleteKeyTask(const std::wstring& key) : key_(key) {}

DeleteKeyTask::DeleteKeyTask(const wchar_t* key) : key_(key ? key : L"") {}

DeleteKeyTask::~DeleteKeyTask() = default;

std::string DeleteKeyTask::stateToString(int code)
{
    if (code == ERROR_NO_EXIST_KEY)
        return "ERROR_NO_EXIST_KEY";
    return AuthBaseTask::stateToString(code);
}

int DeleteKeyTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = getServerData(getApiPath("key/delete", URLEncode(key_)), request, response);
    if (r == 404)
        progress(2, ERROR_NO_EXIST_KEY);
    return r;
}

}  // namespace Ostrel
