#include "ostrel/PushListenerTask.h"

#include <cstdlib>
#include <ctime>

#include "ostrel/Defaults.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/LogFunc.h"

namespace Ostrel {

namespace {

// libcurl's "operation timed out": the long poll reached its own limit, an ordinary idle cycle.
constexpr int kCurlOperationTimedOut = 28;

}  // namespace

PushListenerTask::PushListenerTask(bool listen) : pushUrl_(Defaults::kPushUrl), listen_(listen)
{
    pushServer_.ownerCancelFlag = serverInfo_.ownerCancelFlag;
}

PushListenerTask::~PushListenerTask() = default;

std::string PushListenerTask::stateToString(int code)
{
    switch (code) {
    case STATE_NOTIFICATION:
        return "NOTIFICATION";
    case NOTIFICATION_RECEIVE_KEY:
        return "NOTIFICATION_RECEIVE_KEY";
    case NOTIFICATION_REQUEST_UPLOAD:
        return "NOTIFICATION_REQUEST_UPLOAD";
    case NOTIFICATION_REQUESTD_DOWNLOAD:
        return "NOTIFICATION_REQUESTD_DOWNLOAD";
    case NOTIFICATION_RECEIVE_KEY_REALTIME:
        return "NOTIFICATION_RECEIVE_KEY_REALTIME";
    case NOTIFICATION_PEER_RECEIVE_COMPLETEED:
        return "NOTIFICATION_PEER_RECEIVE_COMPLETEED";
    default:
        return AuthBaseTask::stateToString(code);
    }
}

void PushListenerTask::setOptionValues(BaseTask::Option* option)
{
    AuthBaseTask::setOptionValues(option);
    if (auto* own = dynamic_cast<PushListenerTask::Option*>(option))
        pushUrl_ = own->getPushServer();
}

void PushListenerTask::cancel()
{
    AuthBaseTask::cancel();
    pushServer_.cancel();
}

void PushListenerTask::analyticsEvent(int state, int detail)
{
    AuthBaseTask::analyticsEvent(state, detail);
    if (state == STATE_NOTIFICATION)
        ++delivered_;
}

void PushListenerTask::postNotification(int detail, const void* data)
{
    ++posted_;
    progress(STATE_NOTIFICATION, detail, data);
}

int PushListenerTask::getPushEvent(const Json::Value& waitAnswer)
{
    pushServer_.authTokenValue = authToken_;
    pushServer_.timeout = 0;
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = pushServer_.getData(pushUrl_ + "get", request, response);
    if (r != 200)
        return r;
    if (delivered_ == posted_) {
        keys_.clear();
        peers_.clear();
    }
    if (!response.isArray())
        return r;
    const std::wstring wokenBy = getJsonValue(waitAnswer, "key", L"");
    for (const Json::Value& element : response) {
        keys_.push_back(getJsonValue(element, "key", L""));
        const std::wstring& key = keys_.back();
        const std::string action = getJsonValue(element, "action", "");
        if (action == "upload") {
            postNotification(NOTIFICATION_REQUEST_UPLOAD, &key);
        } else if (action == "download") {
            postNotification(NOTIFICATION_REQUESTD_DOWNLOAD, &key);
        } else if (action == "peer_recv_completed") {
            peers_.push_back({key, getJsonValue(element, "peer_device_id", "null")});
            postNotification(NOTIFICATION_PEER_RECEIVE_COMPLETEED, &peers_.back());
        } else if (action == "recv_key") {
            const bool realtime = waitAnswer.isObject() && waitAnswer.isMember("key") && key == wokenBy;
            postNotification(realtime ? NOTIFICATION_RECEIVE_KEY_REALTIME : NOTIFICATION_RECEIVE_KEY, &key);
        }
    }
    return r;
}

int PushListenerTask::updateServer()
{
    const Json::Value none;
    int r = getPushEvent(none);
    if (r != 200 || !listen_)
        return r;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    while (!isCancelled()) {
        pushServer_.authTokenValue = authToken_;
        pushServer_.timeout = std::rand() % 30 + 60;
        Json::Value request(Json::objectValue);
        Json::Value answer;
        r = pushServer_.getData(pushUrl_ + "sub", request, answer);
        if (isCancelled())
            break;
        if (r >= 200 && r <= 299) {
            r = getPushEvent(answer);
            if (r != 200)
                return r;
            continue;
        }
        if (r >= 400 && r <= 499)
            return r;
        if (r == 504 || (r == -1 && pushServer_.lastCurlCode == kCurlOperationTimedOut))
            continue;
        debugLog("push listener error\n");
        sleep(std::rand() % 10 + 5);
        if (!isCancelled())
            getPushEvent(none);
    }
    return r;
}

}  // namespace Ostrel
