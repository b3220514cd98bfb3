#include "service/Service.h"

#include <filesystem>

#include "service/Json.h"
#include "service/RequestLog.h"

namespace Service {

namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.compare(0, std::strlen(prefix), prefix) == 0; }

std::string formValue(const std::string& body, const std::string& name)
{
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t end = body.find('&', pos);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(pos, end - pos);
        if (pair.compare(0, name.size() + 1, name + "=") == 0)
            return pair.substr(name.size() + 1);
        pos = end + 1;
    }
    return "";
}

}  // namespace

TrovantiService::TrovantiService(const ServiceOptions& options)
    : options_(options),
      ctx_(options_, store_),
      push_(ctx_),
      limiter_(options_.lookupLimit, options_.lookupWindow),
      relay_(ctx_, push_),
      files_(ctx_, push_, limiter_, relay_),
      accounts_(ctx_),
      keys_(ctx_, push_, limiter_, relay_, files_),
      pictures_(ctx_),
      partner_(ctx_)
{
    relay_.setChangedCallback([this] { files_.relayChanged(); });
    accounts_.addEndpoints(endpoints_);
    keys_.addEndpoints(endpoints_);
}

TrovantiService::~TrovantiService() { stop(); }

bool TrovantiService::start(std::string& error)
{
    std::error_code ec;
    std::filesystem::create_directories(options_.dataDir, ec);
    if (ec) {
        error = "cannot create " + options_.dataDir + ": " + ec.message();
        return false;
    }
    if (!options_.logFile.empty())
        RequestLog::setFile(options_.logFile);
    if (!store_.open(options_.dataDir + "/service.db", error))
        return false;
    keys_.sweep();

    WebServer::Routes routes;
    routes.handle = [this](Request& r) { return handle(r); };
    routes.openUpload = [this](Request& r, Response& refusal) -> std::unique_ptr<UploadSink> {
        if (r.method == "PUT" && startsWith(r.path, "/relay/v1/"))
            return relay_.openPut(r, refusal);
        return nullptr;
    };
    main_ = std::make_unique<WebServer>("api", routes, static_cast<size_t>(options_.maxBody));
    if (!main_->start(options_.bind, options_.port, error))
        return false;
    if (options_.partnerPort > 0) {
        WebServer::Routes partnerRoutes;
        partnerRoutes.handle = [this](Request& r) { return partner_.handle(r); };
        partnerServer_ =
            std::make_unique<WebServer>("partner", partnerRoutes, static_cast<size_t>(options_.maxBody));
        if (!partnerServer_->start(options_.bind, options_.partnerPort, error))
            return false;
    }
    sweeper_ = std::thread([this] { sweepLoop(); });
    return true;
}

void TrovantiService::stop()
{
    {
        std::lock_guard<std::mutex> lock(sweepMutex_);
        stopping_ = true;
        sweepWake_.notify_all();
    }
    push_.shutdown();
    files_.shutdown();
    if (main_)
        main_->stop();
    if (partnerServer_)
        partnerServer_->stop();
    if (sweeper_.joinable())
        sweeper_.join();
}

void TrovantiService::sweepLoop()
{
    std::unique_lock<std::mutex> lock(sweepMutex_);
    while (!sweepWake_.wait_for(lock, std::chrono::seconds(options_.sweepInterval), [this] { return stopping_; })) {
        lock.unlock();
        partner_.sweep();
        const int removed = keys_.sweep();
        if (removed > 0)
            RequestLog::line("removed " + std::to_string(removed) + " expired key(s)");
        lock.lock();
    }
}

Response TrovantiService::handle(Request& request)
{
    const std::string& path = request.path;
    if (startsWith(path, "/api/v1/"))
        return api(request);
    if (startsWith(path, "/push/v1/"))
        return push(request);
    if (path == "/file/v1/send" || path == "/file/v1/recv") {
        if (request.method != "POST")
            return Response::empty(405);
        return files_.report(request, path == "/file/v1/send");
    }
    if (startsWith(path, "/relay/v1/") && request.method == "GET")
        return relay_.get(request);
    if (startsWith(path, "/link/") && request.method == "GET")
        return relay_.link(request);
    if (startsWith(path, "/picture/v1/upload/") && (request.method == "PUT" || request.method == "POST"))
        return pictures_.put(request);
    if (startsWith(path, "/picture/v1/") && request.method == "GET")
        return pictures_.get(request);
    if (path == "/analytics/collect")
        return analytics(request);
    if (path == "/" && request.method == "GET")
        return Response::text(200, "trovanti-service\n");
    return Response::empty(404);
}

Response TrovantiService::api(Request& request)
{
    const std::string sub = request.path.substr(8);
    const Endpoint* match = nullptr;
    std::string rest;
    for (const Endpoint& e : endpoints_) {
        const bool prefix = !e.path.empty() && e.path.back() == '/';
        if ((!prefix && sub == e.path) || (prefix && startsWith(sub, e.path.c_str()) && sub.size() > e.path.size())) {
            match = &e;
            rest = prefix ? sub.substr(e.path.size()) : "";
            break;
        }
    }
    if (!match)
        return errorAnswer(404, "unknown endpoint");
    if (request.method != "POST")
        return errorAnswer(405, "POST only");
    if (!ctx_.apiKeyOk(request))
        return errorAnswer(403, "wrong api key");
    Caller caller;
    switch (match->auth) {
    case AuthLevel::None:
        caller.ok = true;
        break;
    case AuthLevel::Basic:
        caller = ctx_.authenticateBasic(request);
        break;
    case AuthLevel::Device:
        caller = ctx_.authenticate(request);
        break;
    case AuthLevel::User:
        caller = ctx_.authenticate(request);
        caller.ok = caller.ok && !caller.userId.empty();
        break;
    }
    if (!caller.ok)
        return errorAnswer(401, "unauthorized");
    Json::Value body;
    if (!JsonIo::parseObject(request.body, body))
        return errorAnswer(400, "malformed json");
    return match->handler(ApiCall{request, body, caller, rest});
}

Response TrovantiService::push(Request& request)
{
    const std::string sub = request.path.substr(9);
    if (sub != "sub" && sub != "get")
        return errorAnswer(404, "unknown endpoint");
    if (request.method != "POST" && request.method != "GET")
        return errorAnswer(405, "POST only");
    const Caller caller = ctx_.authenticate(request);
    if (!caller.ok)
        return errorAnswer(401, "unauthorized");
    return sub == "sub" ? push_.subscribe(caller) : push_.fetch(caller);
}

Response TrovantiService::analytics(Request& request)
{
    std::lock_guard<std::mutex> lock(analyticsMutex_);
    if (request.method == "POST") {
        if (formValue(request.body, "v") != "1" || formValue(request.body, "tid").empty())
            return errorAnswer(400, "not a measurement hit");
        std::string type = formValue(request.body, "t");
        if (type.empty() || type.size() > 32)
            type = "other";
        ++hits_["hits"];
        ++hits_[type];
        return Response::empty(200);
    }
    if (request.method == "GET") {
        Json::Value v(Json::objectValue);
        v["hits"] = Json::Int64(0);
        for (const auto& h : hits_)
            v[h.first] = Json::Int64(h.second);
        return jsonAnswer(200, v);
    }
    return Response::empty(405);
}

}  // namespace Service
