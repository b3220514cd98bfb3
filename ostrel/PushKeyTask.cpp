#include "ostrel/PushKeyTask.h"

#include "ostrel/Base64Util.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/URLEncodeUtil.h"

namespace Ostrel {

PushKeyTask::PushKeyTask(const std::wstring& key, const std::string& deviceId, const std::wstring& comment,
                         const std::string& thumbnailBytes)
    : key_(key), deviceId_(deviceId), comment_(comment), thumbnail_(toBase64(thumbnailBytes))
{
}

PushKeyTask::PushKeyTask(const wchar_t* key, const char* deviceId, const wchar_t* comment,
                         const unsigned char* picture, std::size_t pictureLength)
    : key_(key ? key : L""), deviceId_(deviceId ? deviceId : ""), comment_(comment ? comment : L"")
{
    if (picture && pictureLength > 0)
        thumbnail_ = toBase64(picture, pictureLength);
}

PushKeyTask::~PushKeyTask() = default;

std::string PushKeyTask::stateToString(int code)
{
    if (code == ERROR_SEND_KEY_FAILED)
        return "ERROR_SEND_KEY_FAILED";
    return AuthBaseTask::stateToString(code);
}

boost::any PushKeyTask::getValue(int key)
{
    if (key == VALUE_PUSH_RESULT) {
        if (replyState_)
            return PUSH_ACCEPTED;
        if (!replyState_)
            return PUSH_IGNORED;
        return PUSH_NO_ANSWER;
    }
    return AuthBaseTask::getValue(key);
}

int PushKeyTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    setJsonValue(request, "comment", comment_);
    setJsonValue(request, "thumbnail", thumbnail_);
    const int r = getServerData(getApiPath("key/push", URLEncode(key_), deviceId_), request, response);
    if (r == 200 && !(response.isObject() && response.isMember("received_device_id"))) {
        progress(2, ERROR_SEND_KEY_FAILED);
        return 0;
    }
    return r;
}

}  // namespace Ostrel
