#include "ostrel/ReplyPushKeyTask.h"

#include "ostrel/JsonUtil.h"
#include "ostrel/URLEncodeUtil.h"

namespace Ostrel {

ReplyPushKeyTask::ReplyPushKeyTask(const std::wstring& key, bool accept) : key_(key), accept_(accept) {}

ReplyPushKeyTask::~ReplyPushKeyTask() = default;

int ReplyPushKeyTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    setJsonValue(request, "status", std::string(accept_ ? "accept" : "ignore"));
    return getServerData(getApiPath("key/push/reply", URLEncode(key_)), request, response);
}

}  // namespace Ostrel
