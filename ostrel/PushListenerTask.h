#pragma once

#include <atomic>
#include <list>
#include <string>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/ServerInfo.h"

namespace Ostrel {

// Keeps a long poll open to the push service and turns what arrives into NOTIFICATION events.
class PushListenerTask : public AuthBaseTask {
public:
    class Option : public virtual AuthBaseTask::Option {
    public:
        virtual std::string getPushServer() = 0;
    };

    struct ReceivedPeerInfo {
        std::wstring key;
        std::string peerDeviceId;
    };

    enum {
        STATE_NOTIFICATION = 100,
        NOTIFICATION_RECEIVE_KEY = 25610,
        NOTIFICATION_REQUEST_UPLOAD = 25611,
        NOTIFICATION_REQUESTD_DOWNLOAD = 25612,
        NOTIFICATION_RECEIVE_KEY_REALTIME = 25613,
        NOTIFICATION_PEER_RECEIVE_COMPLETEED = 25614,
    };

    // With listen false the pending events are fetched once; with true the task listens until cancelled.
    explicit PushListenerTask(bool listen);
    ~PushListenerTask() override;

    std::string stateToString(int code) override;
    void setOptionValues(BaseTask::Option* option) override;
    void cancel() override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_push_listener"; }
    void analyticsEvent(int state, int detail) override;

    // One "get": posts an event per pending element; `waitAnswer` is the wake-up answer behind it.
    int getPushEvent(const Json::Value& waitAnswer);

private:
    void postNotification(int detail, const void* data);

    std::string pushUrl_;
    ServerInfo pushServer_;
    bool listen_;
    // Event payloads point into these lists; nodes never move, and the lists are emptied only once
    // every notification posted so far has been delivered.
    std::list<std::wstring> keys_;
    std::list<ReceivedPeerInfo> peers_;
    std::atomic<long> posted_{0};
    std::atomic<long> delivered_{0};
};

}  // namespace Ostrel
