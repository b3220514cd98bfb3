#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>

#include "service/ServiceContext.h"

namespace Service {

// Pending push events per device (kept in the database, so an offline device gets them later)
// and the long poll that wakes when one arrives.
class PushHub {
public:
    explicit PushHub(ServiceContext& context) : ctx_(context) {}

    void post(const std::string& deviceId, const std::string& key, const std::string& action,
              const std::string& peerDeviceId = "");
    // "sub": 200 {"key"} once an event is pending, 504 after the configured time.
    Response subscribe(const Caller& caller);
    // "get": the pending events as an array; they are handed out once.
    Response fetch(const Caller& caller);
    // Wakes every waiting poll so the server can stop.
    void shutdown();

private:
    ServiceContext& ctx_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<std::string, uint64_t> version_;
    bool stopping_ = false;
};

}  // namespace Service
