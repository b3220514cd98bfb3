#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct MHD_Daemon;
struct MHD_Connection;

namespace TestSupport {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

// What the double answers to one request.
struct HttpAnswer {
    HttpAnswer(int status_ = 200, std::string body_ = std::string(), int delayMs_ = 0, HeaderList headers_ = {})
        : status(status_), body(std::move(body_)), delayMs(delayMs_), headers(std::move(headers_))
    {
    }

    int status = 200;
    std::string body;
    // Waited before answering; an HttpDouble being stopped cuts the wait short.
    int delayMs = 0;
    // Extra response headers, e.g. {"Location", "/other"} or {"Proxy-Authenticate", "Basic"}.
    HeaderList headers;
};

// One request as it arrived.
struct HttpRecord {
    std::string method;
    // Path without the query ("/api/v1/key/push"); for CONNECT the authority ("127.0.0.1:443").
    std::string path;
    // Request headers in the order received, names as sent.
    HeaderList headers;
    std::string body;
    // Milliseconds on a steady clock when the request headers were complete.
    long long receivedMs = 0;

    // Value of the first header with this name (case-insensitive), empty when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

// A scripted HTTP server on 127.0.0.1 for engine tests, one thread per connection.
//
//   TestSupport::HttpDouble server;                       // listening on a free port
//   server.answer("/api/v1/auth/device", {200, R"({"access_token":"t"})"});
//   server.answerSequence("/x", {{503, ""}, {200, "{}"}}); // one answer per request, last one repeats
//   ... run the code under test against server.url("/api/v1/") ...
//   auto requests = server.requests();                     // everything that arrived, in order
//
// Paths without a scripted answer get the fallback (404, empty body, unless setFallback changes it).
// All methods are thread-safe. The destructor stops the server.
class HttpDouble {
public:
    HttpDouble();
    ~HttpDouble();
    HttpDouble(const HttpDouble&) = delete;
    HttpDouble& operator=(const HttpDouble&) = delete;

    bool isRunning() const { return daemon_ != nullptr; }
    int port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by `path`.
    std::string url(const std::string& path = "") const;

    void answer(const std::string& path, const HttpAnswer& answer);
    void answerSequence(const std::string& path, const std::vector<HttpAnswer>& answers);
    void setFallback(const HttpAnswer& answer);

    std::vector<HttpRecord> requests() const;
    std::vector<HttpRecord> requests(const std::string& path) const;
    std::size_t count(const std::string& path) const;
    void clearRequests();
    // Blocks until at least `n` requests have been recorded or the time is up; true on success.
    bool waitForRequests(std::size_t n, int timeoutMs) const;

    // Stops accepting, ends pending delays and joins the connection threads. Idempotent.
    void stop();

private:
    struct Pending;
    friend struct HttpDoubleAccess;
    int respond(MHD_Connection* connection, Pending* pending);
    HttpAnswer nextAnswer(const std::string& path);

    MHD_Daemon* daemon_ = nullptr;
    int port_ = 0;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::map<std::string, std::vector<HttpAnswer>> script_;
    std::map<std::string, std::size_t> served_;
    HttpAnswer fallback_{404, "", 0, {}};
    std::vector<HttpRecord> records_;
};

}  // namespace TestSupport
