#pragma once

#include <functional>
#include <vector>

#include "service/ApiTypes.h"

namespace Service {

class FileServer;
class PushHub;
class RateLimiter;
class Relay;

// Transfer keys ("key/create", "key/update", "key/search", "key/delete") and pushing a key to a
// device ("key/push", "key/push/query", "key/push/reply").
class KeyApi {
public:
    KeyApi(ServiceContext& context, PushHub& push, RateLimiter& limiter, Relay& relay, FileServer& files)
        : ctx_(context), push_(push), limiter_(limiter), relay_(relay), files_(files)
    {
    }
    void addEndpoints(std::vector<Endpoint>& table);

    // Removes expired keys and their relayed files; returns how many went.
    int sweep();

private:
    Response create(const ApiCall& call);
    Response update(const ApiCall& call);
    Response search(const ApiCall& call);
    Response remove(const ApiCall& call);
    Response pushKey(const ApiCall& call);
    Response queryPush(const ApiCall& call);
    Response replyPush(const ApiCall& call);

    Response registerKey(const ApiCall& call, const std::string& existing);
    std::string newKey();

    ServiceContext& ctx_;
    PushHub& push_;
    RateLimiter& limiter_;
    Relay& relay_;
    FileServer& files_;
};

}  // namespace Service
