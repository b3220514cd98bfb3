#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

#include <json/value.h>

namespace Ostrel {

struct AuthTokenValue;

// One JSON exchange with the cloud service. Results: the HTTP status (100-599), -1 transport failure
// (cancel included), -2 a 2xx answer that is not JSON, -3 proxy authentication required, 0 no client.
class ServerInfo {
public:
    ServerInfo() = default;
    virtual ~ServerInfo() = default;
    ServerInfo(const ServerInfo&) = delete;
    ServerInfo& operator=(const ServerInfo&) = delete;

    // POSTs `request` as compact JSON (GET without a body when noBody is true) and parses a 2xx body
    // into `response`. Adds "task_time" to the request when a start time is set.
    int getData(const std::string& url, Json::Value& request, Json::Value& response, bool noBody = false);
    void cancel() { cancelFlag = true; }

    // Source of the Authorization header, not owned; may be null.
    AuthTokenValue* authTokenValue = nullptr;
    // Cleared at the start of each request; set by cancel() to abort the request in progress.
    std::atomic<bool> cancelFlag{false};
    bool useProxy = false;
    std::string proxyUserId;
    std::string proxyPassword;
    std::string apiKey;
    // Start of the owning task in milliseconds since the epoch; 0 = none.
    std::int64_t taskTime = 0;
    // Whole-request limit in seconds; 0 or less = none.
    int timeout = 0;
    // Sent after the standard headers, in ascending order of name.
    std::map<std::string, std::string> extraHeaders;
    // libcurl result of the most recent request (0 = success).
    int lastCurlCode = 0;
    // The owner's own cancel flag, also tested during a request. getData clears cancelFlag when it
    // starts, so a cancel arriving just before that would otherwise be lost.
    const std::atomic<bool>* ownerCancelFlag = nullptr;
};

}  // namespace Ostrel
