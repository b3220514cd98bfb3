#pragma once

#include <cstdint>
#include <string>

#include <json/json.h>

#include "service/HttpTypes.h"
#include "service/ServiceOptions.h"
#include "service/Store.h"

namespace Service {

// Who made a request: a device, possibly signed in as a user.
struct Caller {
    bool ok = false;
    std::string deviceId;
    std::string userId;
};

// What every part of the service shares: options, state and the credential rules.
class ServiceContext {
public:
    ServiceContext(const ServiceOptions& options, Store& store) : options(options), store(store) {}

    const ServiceOptions& options;
    Store& store;

    static int64_t now();
    // Base address for URLs handed to clients: --public-url, else the Host the client used.
    std::string baseUrl(const Request& request) const;
    std::string partnerBaseUrl() const;

    bool apiKeyOk(const Request& request) const;
    // Bearer token first, then Basic device credentials.
    Caller authenticate(const Request& request) const;
    Caller authenticateBasic(const Request& request) const;
    std::string issueToken(const std::string& deviceId, const std::string& userId) const;

    // A device as device lists describe it; null when unknown.
    Json::Value deviceObject(const Request& request, const std::string& deviceId) const;
};

Response jsonAnswer(int status, const Json::Value& value);
Response errorAnswer(int status, const std::string& error);

}  // namespace Service
