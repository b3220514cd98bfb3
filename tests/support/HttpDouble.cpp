#include "support/HttpDouble.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <strings.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <microhttpd.h>

#include "support/FreePort.h"

namespace TestSupport {

namespace {

long long steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

MHD_Result collectHeader(void* user, enum MHD_ValueKind, const char* key, const char* value)
{
    static_cast<HeaderList*>(user)->emplace_back(key ? key : "", value ? value : "");
    return MHD_YES;
}

}  // namespace

struct HttpDouble::Pending {
    HttpRecord record;
};

std::string HttpRecord::header(const std::string& name) const
{
    for (const auto& h : headers) {
        if (strcasecmp(h.first.c_str(), name.c_str()) == 0)
            return h.second;
    }
    return std::string();
}

bool HttpRecord::hasHeader(const std::string& name) const
{
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& h) { return strcasecmp(h.first.c_str(), name.c_str()) == 0; });
}

struct HttpDoubleAccess {
    static MHD_Result handle(void* self, MHD_Connection* connection, const char* url, const char* method,
                             const char*, const char* uploadData, std::size_t* uploadSize, void** state)
    {
        auto* server = static_cast<HttpDouble*>(self);
        auto* pending = static_cast<HttpDouble::Pending*>(*state);
        if (!pending) {
            pending = new HttpDouble::Pending;
            pending->record.method = method ? method : "";
            pending->record.path = url ? url : "";
            pending->record.receivedMs = steadyMs();
            MHD_get_connection_values(connection, MHD_HEADER_KIND, &collectHeader, &pending->record.headers);
            *state = pending;
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            pending->record.body.append(uploadData, *uploadSize);
            *uploadSize = 0;
            return MHD_YES;
        }
        return server->respond(connection, pending) ? MHD_YES : MHD_NO;
    }

    static void completed(void*, MHD_Connection*, void** state, enum MHD_RequestTerminationCode)
    {
        delete static_cast<HttpDouble::Pending*>(*state);
        *state = nullptr;
    }
};

HttpDouble::HttpDouble()
{
    // Another process may grab the port between the probe and the bind; try a few.
    for (int attempt = 0; attempt < 5 && !daemon_; ++attempt) {
        const int port = freePort();
        struct sockaddr_in address;
        std::memset(&address, 0, sizeof(address));
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        daemon_ = MHD_start_daemon(
            MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_ERROR_LOG,
            static_cast<uint16_t>(port), nullptr, nullptr,
            &HttpDoubleAccess::handle, this, MHD_OPTION_SOCK_ADDR,
            reinterpret_cast<struct sockaddr*>(&address), MHD_OPTION_NOTIFY_COMPLETED,
            &HttpDoubleAccess::completed, this,
            MHD_OPTION_CONNECTION_TIMEOUT, 30u, MHD_OPTION_END);
        if (daemon_)
            port_ = port;
    }
}

HttpDouble::~HttpDouble() { stop(); }

void HttpDouble::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (daemon_) {
        MHD_stop_daemon(daemon_);
        daemon_ = nullptr;
    }
}

std::string HttpDouble::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpDouble::answer(const std::string& path, const HttpAnswer& answer) { answerSequence(path, {answer}); }

void HttpDouble::answerSequence(const std::string& path, const std::vector<HttpAnswer>& answers)
{
    std::lock_guard<std::mutex> lock(mutex_);
    script_[path] = answers;
    served_[path] = 0;
}

void HttpDouble::setFallback(const HttpAnswer& answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    fallback_ = answer;
}

std::vector<HttpRecord> HttpDouble::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return records_;
}

std::vector<HttpRecord> HttpDouble::requests(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<HttpRecord> out;
    std::copy_if(records_.begin(), records_.end(), std::back_inserter(out),
                 [&](const HttpRecord& r) { return r.path == path; });
    return out;
}

std::size_t HttpDouble::count(const std::string& path) const { return requests(path).size(); }

void HttpDouble::clearRequests()
{
    std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
}

bool HttpDouble::waitForRequests(std::size_t n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return records_.size() >= n; });
}

HttpAnswer HttpDouble::nextAnswer(const std::string& path)
{
    auto it = script_.find(path);
    if (it == script_.end() || it->second.empty())
        return fallback_;
    std::size_t& served = served_[path];
    const std::size_t index = std::min(served, it->second.size() - 1);
    ++served;
    return it->second[index];
}

int HttpDouble::respond(MHD_Connection* connection, Pending* pending)
{
    HttpAnswer reply;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        reply = nextAnswer(pending->record.path);
        records_.push_back(pending->record);
        changed_.notify_all();
        if (reply.delayMs > 0)
            changed_.wait_for(lock, std::chrono::milliseconds(reply.delayMs), [&] { return stopping_; });
    }
    MHD_Response* response =
        MHD_create_response_from_buffer(reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return 0;
    for (const auto& h : reply.headers)
        MHD_add_response_header(response, h.first.c_str(), h.second.c_str());
    const MHD_Result queued = MHD_queue_response(connection, static_cast<unsigned int>(reply.status), response);
    MHD_destroy_response(response);
    return queued == MHD_YES ? 1 : 0;
}

}  // namespace TestSupport
