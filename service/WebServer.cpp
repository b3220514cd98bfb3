#include "service/WebServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include <microhttpd.h>

#include "ostrel/HttpRange.h"
#include "service/RequestLog.h"

namespace Service {

struct WebServer::Context {
    Request request;
    std::unique_ptr<UploadSink> sink;
    bool tooLarge = false;
    bool queued = false;
    bool sinkFailed = false;
    int status = 0;
    uint64_t received = 0;
    std::function<void(bool)> onComplete;
    std::chrono::steady_clock::time_point begin = std::chrono::steady_clock::now();
};

namespace {

MHD_Result collect(void* cls, MHD_ValueKind, const char* key, const char* value)
{
    auto* map = static_cast<std::map<std::string, std::string>*>(cls);
    std::string name = key ? key : "";
    (*map)[name] = value ? value : "";
    return MHD_YES;
}

MHD_Result collectHeader(void* cls, MHD_ValueKind, const char* key, const char* value)
{
    auto* map = static_cast<std::map<std::string, std::string>*>(cls);
    std::string name = key ? key : "";
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return std::tolower(ch); });
    (*map)[name] = value ? value : "";
    return MHD_YES;
}

MHD_Result requestTrampoline(void* cls, MHD_Connection* connection, const char* url, const char* method,
                             const char*, const char* data, size_t* size, void** ctx)
{
    return static_cast<WebServer*>(cls)->onRequest(connection, url, method, data, size, ctx) ? MHD_YES : MHD_NO;
}

void completedTrampoline(void* cls, MHD_Connection*, void** ctx, MHD_RequestTerminationCode code)
{
    static_cast<WebServer*>(cls)->onCompleted(ctx, code == MHD_REQUEST_TERMINATED_COMPLETED_OK ? 1 : 0);
}

std::string peerOf(MHD_Connection* connection)
{
    const MHD_ConnectionInfo* info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr)
        return "";
    char text[INET6_ADDRSTRLEN] = {0};
    const sockaddr* sa = info->client_addr;
    if (sa->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(sa)->sin_addr, text, sizeof text);
    else if (sa->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(sa)->sin6_addr, text, sizeof text);
    return text;
}

}  // namespace

WebServer::WebServer(std::string name, Routes routes, size_t maxBody)
    : name_(std::move(name)), routes_(std::move(routes)), maxBody_(maxBody)
{
}

WebServer::~WebServer() { stop(); }

bool WebServer::start(const std::string& bindAddress, int port, std::string& error)
{
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, bindAddress.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + bindAddress;
        return false;
    }
    daemon_ = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ERROR_LOG,
        static_cast<uint16_t>(port), nullptr, nullptr, &requestTrampoline, this, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<sockaddr*>(&addr), MHD_OPTION_NOTIFY_COMPLETED, &completedTrampoline, this,
        MHD_OPTION_CONNECTION_TIMEOUT, 120u, MHD_OPTION_CONNECTION_LIMIT, 1000u, MHD_OPTION_END);
    if (!daemon_) {
        error = "cannot listen on " + bindAddress + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void WebServer::stop()
{
    if (daemon_) {
        MHD_stop_daemon(daemon_);
        daemon_ = nullptr;
    }
}

int WebServer::queue(void* conn, Context& c, Response r)
{
    auto* connection = static_cast<MHD_Connection*>(conn);
    MHD_Response* response = nullptr;
    if (r.fd >= 0)
        response = MHD_create_response_from_fd_at_offset64(r.fdLength, r.fd, r.fdOffset);
    else
        response = MHD_create_response_from_buffer(r.body.size(), const_cast<char*>(r.body.data()),
                                                   MHD_RESPMEM_MUST_COPY);
    if (!response) {
        if (r.fd >= 0)
            ::close(r.fd);
        return 0;
    }
    if (!r.contentType.empty())
        MHD_add_response_header(response, "Content-Type", r.contentType.c_str());
    for (const auto& h : r.headers)
        MHD_add_response_header(response, h.first.c_str(), h.second.c_str());
    c.status = r.status;
    c.onComplete = std::move(r.onComplete);
    c.queued = true;
    const MHD_Result ok = MHD_queue_response(connection, static_cast<unsigned>(r.status), response);
    MHD_destroy_response(response);
    return ok == MHD_YES;
}

int WebServer::onRequest(void* conn, const char* url, const char* method, const char* data, size_t* size,
                         void** ctx)
{
    auto* connection = static_cast<MHD_Connection*>(conn);
    auto* c = static_cast<Context*>(*ctx);
    if (!c) {
        c = new Context;
        *ctx = c;
        c->request.method = method ? method : "";
        c->request.path = url ? url : "/";
        c->request.peerAddress = peerOf(connection);
        MHD_get_connection_values(connection, MHD_HEADER_KIND, &collectHeader, &c->request.headers);
        MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, &collect, &c->request.query);
        Response refusal;
        refusal.status = 0;
        if (routes_.openUpload)
            c->sink = routes_.openUpload(c->request, refusal);
        if (!c->sink && refusal.status != 0)
            return queue(connection, *c, std::move(refusal));
        if (!c->sink) {
            uint64_t length = 0;
            const std::string declared = c->request.header("content-length");
            if (!declared.empty() && (!Ostrel::parseDecimal(declared, length) || length > maxBody_))
                return queue(connection, *c, Response::json(413, "{\"error\":\"request body too large\"}"));
        }
        return 1;
    }
    if (*size > 0) {
        c->received += *size;
        if (c->queued) {
            // An answer is already on its way; the rest of the body is dropped.
        } else if (c->sink) {
            if (!c->sinkFailed && !c->sink->write(data, *size)) {
                c->sinkFailed = true;
                Response r = c->sink->finish();
                *size = 0;
                return queue(connection, *c, std::move(r));
            }
        } else if (!c->tooLarge) {
            if (c->request.body.size() + *size > maxBody_) {
                c->tooLarge = true;
                std::string().swap(c->request.body);
            } else {
                c->request.body.append(data, *size);
            }
        }
        *size = 0;
        return 1;
    }
    if (c->queued)
        return 1;
    if (c->sink)
        return queue(connection, *c, c->sink->finish());
    if (c->tooLarge)
        return queue(connection, *c, Response::json(413, "{\"error\":\"request body too large\"}"));
    Response r;
    try {
        r = routes_.handle(c->request);
    } catch (const std::exception& e) {
        RequestLog::line(name_ + " handler failure: " + e.what());
        r = Response::json(500, "{\"error\":\"internal\"}");
    }
    return queue(connection, *c, std::move(r));
}

void WebServer::onCompleted(void** ctx, int completedOk)
{
    auto* c = static_cast<Context*>(*ctx);
    if (!c)
        return;
    *ctx = nullptr;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - c->begin)
                        .count();
    RequestLog::line(name_ + " " + c->request.peerAddress + " " + c->request.method + " " + c->request.path + " " +
                     std::to_string(c->status) + " in=" + std::to_string(c->received) + " " + std::to_string(ms) +
                     "ms" + (completedOk ? "" : " (aborted)"));
    if (c->onComplete)
        c->onComplete(completedOk != 0);
    delete c;
}

}  // namespace Service
