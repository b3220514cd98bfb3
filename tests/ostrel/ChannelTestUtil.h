#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TestFiles.h"
#include "ostrel/Transfer.h"

namespace ChannelTest {

// Deterministic, position-dependent bytes so misplaced data shows.
std::string pattern(size_t size, unsigned seed = 1);
using TestSupport::readFile;
using TestSupport::writeFile;
bool fileExists(const std::string& path);

struct RawReply {
    bool answered = false;  // false: the connection closed (or timed out) without a status line
    int status = 0;
    std::string head;
    std::string body;
    std::string header(const std::string& name) const;
};

// Sends raw bytes to 127.0.0.1:port, half-closes, reads until the peer closes or the timeout.
RawReply rawRequest(int port, const std::string& bytes, int timeoutMs = 3000);

// A tiny HTTP/1.0 server on 127.0.0.1 that answers every request with whatever the handler returns
// (the whole reply, status line included), for answers a real server would not give.
class ScriptedServer {
public:
    struct Request {
        std::string head;
        std::string body;
        std::string header(const std::string& name) const;
    };
    using Handler = std::function<std::string(const Request&)>;

    explicit ScriptedServer(Handler handler);
    ~ScriptedServer();
    int port() const { return port_; }
    std::string url(const std::string& path) const;
    std::vector<Request> requests() const;

private:
    void serve();

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
};

// Serves the bytes of data (which must outlive the reader) at the offsets asked for.
Ostrel::Transfer::ReadFunction memoryReader(const std::string& data);

std::string httpReply(int status, const std::string& body, const std::vector<std::string>& headers = {});

}  // namespace ChannelTest

namespace ChannelTest {

// Starts the process-wide embedded server on ports of this test's own and stops it again.
class ServerScope {
public:
    ServerScope();
    ~ServerScope();
    int port() const { return port_; }
    std::string url(const std::string& path) const;

private:
    int port_ = 0;
};

}  // namespace ChannelTest
