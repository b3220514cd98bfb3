#include "ostrel/QueryPushKeyTask.h"

#include "ostrel/Base64Util.h"
#include "ostrel/HttpImage.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/URLEncodeUtil.h"

namespace Ostrel {

QueryPushKeyTask::QueryPushKeyTask(const std::wstring& key) : key_(key) {}

QueryPushKeyTask::QueryPushKeyTask(const wchar_t* key) : key_(key ? key : L"") {}

QueryPushKeyTask::~QueryPushKeyTask() = default;

std::string QueryPushKeyTask::stateToString(int code)
{
    if (code == ERROR_NO_EXIST_KEY)
        return "ERROR_NO_EXIST_KEY";
    return AuthBaseTask::stateToString(code);
}

boost::any QueryPushKeyTask::getValue(int key)
{
    if (key == VALUE_KEY_INFO)
        return info_;
    return AuthBaseTask::getValue(key);
}

int QueryPushKeyTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = getServerData(getApiPath("key/push/query", URLEncode(key_)), request, response);
    if (r == 404)
        progress(2, ERROR_NO_EXIST_KEY);
    if (r != 200)
        return r;
    KeyInfo info;
    info.key = getJsonValue(response, "key", L"");
    info.expiresTime = getJsonValue(response, "expires_time", 0);
    info.fileNumber = getJsonValue(response, "file_number", 0);
    info.fileSize = getJsonValue(response, "file_size", 0ULL);
    info.comment = getJsonValue(response, "comment", L"");
    const std::string thumbnail = getJsonValue(response, "thumbnail", "");
    if (!thumbnail.empty()) {
        info.thumbnail = fromBase64(thumbnail.c_str());
    } else {
        const std::string url = getJsonValue(response, "thumbnail_url", "");
        if (!url.empty())
            downloadImage(url, info.thumbnail);
    }
    info.sentTime = getJsonValue(response, "sent_time", 0);
    info.deviceId = getJsonValue(response, "device_id", "");
    info.deviceName = getJsonValue(response, "device_name", "");
    info.profileName = getJsonValue(response, "profile_name", L"");
    info.osType = getJsonValue(response, "os_type", "");
    info_ = std::move(info);
    return r;
}

}  // namespace Ostrel
