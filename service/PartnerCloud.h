#pragma once

#include "service/ServiceContext.h"

namespace Service {

// A stand-in for the partner cloud of link sharing, on its own port: device registration,
// token refresh, the download list of a shared key and the shared files themselves. Shares are
// made with POST /share from this machine (tests, demos); their keys answer "is_link_sharing"
// on the main API.
class PartnerCloud {
public:
    explicit PartnerCloud(ServiceContext& context) : ctx_(context) {}

    Response handle(Request& request);
    void sweep();

private:
    Response registerDevice(const Request& request, const Json::Value& body);
    Response authorize(const Request& request);
    Response download(const Request& request);
    Response share(const Request& request, const Json::Value& body);
    Response file(const Request& request);
    bool knownAuthorization(const Request& request) const;
    std::string issueAccess(const std::string& uid);

    ServiceContext& ctx_;
};

}  // namespace Service
