#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <json/json.h>

#include "support/ServiceProcess.h"

namespace TestHttp {

struct Result {
    long status = 0;  // 0: no response
    std::string body;
    std::map<std::string, std::string> headers;  // lower-case names
    Json::Value json() const;
};

using Headers = std::vector<std::string>;

Result request(const std::string& method, const std::string& url, const std::string& body,
               const Headers& headers = {}, long timeoutSeconds = 30);
// PUT whose body is produced piece by piece (never held whole), `length` bytes announced.
Result putStream(const std::string& url, uint64_t length, const std::function<size_t(char*, size_t)>& produce,
                 const Headers& headers = {});
// GET whose body is handed piece by piece to `consume`.
Result getStream(const std::string& url, const std::function<void(const char*, size_t)>& consume,
                 const Headers& headers = {});

std::string basic(const std::string& id, const std::string& password);

// A device of the service as a client would set it up: registered and signed in.
struct Device {
    std::string id, password, token;
};

class Client {
public:
    explicit Client(const TestSupport::ServiceProcess& service) : service_(service) {}

    Result api(const std::string& path, const Json::Value& body, const std::string& token,
               long timeoutSeconds = 30) const;
    Result apiBasic(const std::string& path, const Json::Value& body, const Device& d) const;
    Result session(const std::string& server, bool send, const Json::Value& body, const Device& d,
                   long timeoutSeconds = 30) const;
    Result push(const std::string& what, const std::string& token, long timeoutSeconds = 30) const;
    Device newDevice(const std::string& name = "test device") const;

private:
    const TestSupport::ServiceProcess& service_;
};

Json::Value parse(const std::string& text);

}  // namespace TestHttp
