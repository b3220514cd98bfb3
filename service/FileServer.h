#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "service/KeyRecord.h"
#include "service/ServiceContext.h"

namespace Service {

class PushHub;
class RateLimiter;
class Relay;

// The file server's session reports ("send" and "recv"). It pairs the sender's and the
// receiver's sessions of a key and tells each side its route: direct (one side serves the files
// on its embedded server, the other fetches or delivers) or through the relay.
class FileServer {
public:
    FileServer(ServiceContext& context, PushHub& push, RateLimiter& limiter, Relay& relay);

    Response report(const Request& request, bool sendSide);
    // The key was deleted or re-registered: sessions start over.
    void forget(const std::string& key);
    // Bytes arrived at the relay: receivers waiting for a complete upload look again.
    void relayChanged();
    void shutdown();

private:
    struct LocalFile {
        uint64_t size = 0;
        int64_t time = 0;
    };
    struct Side {
        bool present = false;
        std::string deviceId;
        std::string state;
        std::string host;
        int port = 0;
        std::set<std::string> blackList;
        std::vector<LocalFile> files;
        bool parallel = true;
        bool ready = false;       // waiting at the barrier of the current round
        uint64_t generation = 0;  // bumps when the same side reports anew
    };
    struct Pair {
        Side sender, receiver;
        uint64_t epoch = 0;  // one per agreed round
        bool senderPassive = true;
        bool routeFailed = false;
    };
    struct KeyState {
        Pair main;    // direct keys: the main sessions
        Pair direct;  // the sessions that asked for a direct route ("mode": "direct")
        std::vector<int64_t> senderTimes;
        std::string relaySenderState;
        bool removed = false;  // deleted or re-registered while reports waited on it
    };
    struct Report {
        std::string key;
        std::string state;
        bool direct = false;
        bool parallel = true;
        std::vector<LocalFile> files;
        std::set<std::string> blackList;
        std::string host;
        int port = 0;
    };

    Response directReport(std::unique_lock<std::mutex>& lock, const KeyRecord& key, KeyState& ks, Pair& pair,
                          const Report& r, const Caller& caller, bool sendSide, bool directSession);
    Response relayReport(std::unique_lock<std::mutex>& lock, const KeyRecord& key, KeyState& ks, const Report& r,
                         const Caller& caller, bool sendSide);
    void assign(Pair& pair);
    Json::Value fileList(const KeyRecord& key, const KeyState& ks) const;
    Response directAnswer(const KeyRecord& key, const KeyState& ks, const Pair& pair, bool sendSide) const;
    Response relayAnswer(const KeyRecord& key, const KeyState& ks, const Report& r, bool sendSide) const;
    void receiverCompleted(const KeyRecord& key, const Caller& caller, bool finishesKey);

    ServiceContext& ctx_;
    PushHub& push_;
    RateLimiter& limiter_;
    Relay& relay_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::shared_ptr<KeyState>> keys_;
    bool stopping_ = false;
};

Response stateAnswer(const std::string& state, bool noRetry = false);

}  // namespace Service
