#include "ChannelTestUtil.h"

#include <algorithm>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ChannelTest {

std::string pattern(size_t size, unsigned seed)
{
    std::string s(size, '\0');
    uint32_t x = seed * 2654435761u + 12345u;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>((x >> 16) & 0xff);
    }
    return s;
}

bool fileExists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

namespace {

std::string headerOf(const std::string& head, const std::string& name)
{
    std::istringstream in(head);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto colon = line.find(':');
        if (colon == name.size() && strncasecmp(line.c_str(), name.c_str(), colon) == 0) {
            size_t v = colon + 1;
            while (v < line.size() && line[v] == ' ')
                ++v;
            return line.substr(v);
        }
    }
    return std::string();
}

int connectLoopback(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string RawReply::header(const std::string& name) const
{
    return headerOf(head, name);
}

std::string ScriptedServer::Request::header(const std::string& name) const
{
    return headerOf(head, name);
}

RawReply rawRequest(int port, const std::string& bytes, int timeoutMs)
{
    RawReply reply;
    const int fd = connectLoopback(port);
    if (fd < 0)
        return reply;
    sendAll(fd, bytes.data(), bytes.size());
    ::shutdown(fd, SHUT_WR);
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    // Skip interim "100 Continue" answers.
    while (data.compare(0, 12, "HTTP/1.1 100") == 0) {
        const auto end = data.find("\r\n\r\n");
        if (end == std::string::npos)
            break;
        data.erase(0, end + 4);
    }
    const auto end = data.find("\r\n\r\n");
    if (data.compare(0, 5, "HTTP/") != 0 || end == std::string::npos)
        return reply;
    reply.answered = true;
    reply.head = data.substr(0, end);
    reply.body = data.substr(end + 4);
    reply.status = std::atoi(data.c_str() + 9);
    return reply;
}

std::string httpReply(int status, const std::string& body, const std::vector<std::string>& headers)
{
    std::string r = "HTTP/1.1 " + std::to_string(status) + " X\r\nConnection: close\r\n";
    bool hasLength = false;
    for (const std::string& h : headers) {
        r += h + "\r\n";
        hasLength = hasLength || strncasecmp(h.c_str(), "Content-Length:", 15) == 0;
    }
    if (!hasLength)
        r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return r + "\r\n" + body;
}

ScriptedServer::ScriptedServer(Handler handler) : handler_(std::move(handler))
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(listenFd_, 16) != 0
        || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        throw std::runtime_error("scripted server cannot listen");
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
}

ScriptedServer::~ScriptedServer()
{
    stop_ = true;
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
}

std::string ScriptedServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ScriptedServer::Request> ScriptedServer::requests() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void ScriptedServer::serve()
{
    while (!stop_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0)
            continue;
        std::string data;
        char buffer[65536];
        Request request;
        size_t headEnd = std::string::npos;
        size_t want = 0;
        for (;;) {
            pollfd c{fd, POLLIN, 0};
            if (::poll(&c, 1, 3000) <= 0)
                break;
            const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
            if (n <= 0)
                break;
            data.append(buffer, static_cast<size_t>(n));
            if (headEnd == std::string::npos) {
                headEnd = data.find("\r\n\r\n");
                if (headEnd != std::string::npos) {
                    request.head = data.substr(0, headEnd);
                    const std::string length = request.header("Content-Length");
                    want = length.empty() ? 0 : std::stoul(length);
                    if (request.header("Expect") == "100-continue")
                        sendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n", 25);
                }
            }
            if (headEnd != std::string::npos && data.size() - headEnd - 4 >= want)
                break;
        }
        if (headEnd != std::string::npos) {
            request.body = data.substr(headEnd + 4);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            const std::string reply = handler_(request);
            sendAll(fd, reply.data(), reply.size());
        }
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
}

}  // namespace ChannelTest

#include "ostrel/HttpServer.h"
#include "support/FreePort.h"

namespace ChannelTest {

ServerScope::ServerScope()
{
    Ostrel::HttpServer::setPortCandidates({static_cast<uint16_t>(TestSupport::freePort()),
                                           static_cast<uint16_t>(TestSupport::freePort())});
    Ostrel::HttpServer::startServer();
    if (!Ostrel::HttpServer::isRunning())
        throw std::runtime_error("embedded server did not start");
    port_ = Ostrel::HttpServer::getListenPort();
}

ServerScope::~ServerScope()
{
    while (Ostrel::HttpServer::startCount() > 0)
        Ostrel::HttpServer::stopServer();
}

std::string ServerScope::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

Ostrel::Transfer::ReadFunction memoryReader(const std::string& data)
{
    return [&data](char* buffer, unsigned long offset, unsigned long length) -> long {
        if (offset >= data.size())
            return 0;
        const size_t n = std::min<size_t>(length, data.size() - offset);
        std::memcpy(buffer, data.data() + offset, n);
        return static_cast<long>(n);
    };
}

}  // namespace ChannelTest
