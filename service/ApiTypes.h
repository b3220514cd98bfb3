#pragma once

#include <functional>
#include <string>
#include <vector>

#include <json/json.h>

#include "service/HttpTypes.h"
#include "service/ServiceContext.h"

namespace Service {

// What an endpoint demands before its handler runs.
enum class AuthLevel {
    None,    // the application key alone
    Basic,   // device id and password
    Device,  // a device token or device credentials
    User,    // a token of a signed-in user
};

struct ApiCall {
    const Request& request;
    const Json::Value& body;
    const Caller& caller;
    std::string rest;  // path text after the endpoint prefix (key, device id)
};

struct Endpoint {
    std::string path;  // exact path, or a prefix when it ends with "/"
    AuthLevel auth;
    std::function<Response(const ApiCall&)> handler;
};

}  // namespace Service
