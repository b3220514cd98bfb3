#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "service/AccountApi.h"
#include "service/FileServer.h"
#include "service/KeyApi.h"
#include "service/PartnerCloud.h"
#include "service/Pictures.h"
#include "service/PushHub.h"
#include "service/RateLimiter.h"
#include "service/Relay.h"
#include "service/ServiceContext.h"
#include "service/ServiceOptions.h"
#include "service/Store.h"
#include "service/WebServer.h"

namespace Service {

// The whole service: one port for the API, push, file server, relay, link pages, pictures and
// the analytics sink; a second port for the partner-cloud double.
class TrovantiService {
public:
    explicit TrovantiService(const ServiceOptions& options);
    ~TrovantiService();

    bool start(std::string& error);
    void stop();

    Response handle(Request& request);

private:
    Response api(Request& request);
    Response push(Request& request);
    Response analytics(Request& request);
    void sweepLoop();

    ServiceOptions options_;
    Store store_;
    ServiceContext ctx_;
    PushHub push_;
    RateLimiter limiter_;
    Relay relay_;
    FileServer files_;
    AccountApi accounts_;
    KeyApi keys_;
    Pictures pictures_;
    PartnerCloud partner_;
    std::vector<Endpoint> endpoints_;
    std::unique_ptr<WebServer> main_;
    std::unique_ptr<WebServer> partnerServer_;

    std::mutex analyticsMutex_;
    std::map<std::string, int64_t> hits_;

    std::thread sweeper_;
    std::mutex sweepMutex_;
    std::condition_variable sweepWake_;
    bool stopping_ = false;
};

}  // namespace Service
