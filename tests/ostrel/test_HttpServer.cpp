#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "ChannelTestUtil.h"
#include "ostrel/ActiveHttp.h"
#include "ostrel/FileCallback.h"
#include "ostrel/HttpServer.h"
#include "ostrel/LogFunc.h"
#include "ostrel/PassiveHttp.h"
#include "ostrel/StringUtil.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace ChannelTest;

namespace {

// Stores PUT bytes in memory at their offsets.
struct MemorySink {
    std::mutex mutex;
    std::string bytes;
    uint64_t highest = 0;
    Transfer::WriteFunction writer()
    {
        return [this](const char* data, unsigned long offset, unsigned long length) -> long {
            std::lock_guard<std::mutex> lock(mutex);
            if (bytes.size() < offset + length)
                bytes.resize(offset + length, '\0');
            memcpy(&bytes[offset], data, length);
            highest = std::max<uint64_t>(highest, offset + length);
            return static_cast<long>(length);
        };
    }
};

std::string get(const std::string& path, const std::string& extra = "")
{
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: ostrel/1.0\r\n" + extra + "\r\n";
}

class LogCapture {
public:
    LogCapture()
    {
        setDebugLogCallback(
            [this](int, const char* text) {
                std::lock_guard<std::mutex> lock(mutex_);
                text_ += text;
            },
            nullptr);
    }
    ~LogCapture() { setDebugLogCallback(nullptr, nullptr); }
    std::string text()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    std::mutex mutex_;
    std::string text_;
};

}  // namespace

TEST(HttpServer, StartCountKeepsTheDaemonForTheLastUser)
{
    EXPECT_EQ(HttpServer::defaultPorts(), (std::vector<uint16_t>{8080, 8000, 8888, 8668, 3882}));
    LogCapture log;
    {
        ServerScope first;  // start #1
        HttpServer::startServer();
        EXPECT_EQ(HttpServer::startCount(), 2);
        HttpServer::stopServer();
        EXPECT_TRUE(HttpServer::isRunning());
        HttpServer::stopServer();
        EXPECT_FALSE(HttpServer::isRunning());
        HttpServer::stopServer();
        EXPECT_EQ(HttpServer::startCount(), 0);
    }
    const std::string text = log.text();
    EXPECT_NE(text.find("Listen port: "), std::string::npos);
    EXPECT_NE(text.find("daemon is running\n"), std::string::npos);
    EXPECT_NE(text.find("daemon is still running\n"), std::string::npos);
    EXPECT_NE(text.find("Stop daemon\n"), std::string::npos);
    EXPECT_NE(text.find("daemon is not running\n"), std::string::npos);
}

TEST(HttpServer, FallsBackWhenTheFirstPortIsTaken)
{
    const int taken = TestSupport::freePort();
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(taken));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    const int second = TestSupport::freePort();
    HttpServer::setPortCandidates({static_cast<uint16_t>(taken), static_cast<uint16_t>(second)});
    HttpServer::startServer();
    EXPECT_TRUE(HttpServer::isRunning());
    EXPECT_EQ(HttpServer::getListenPort(), second);
    HttpServer::stopServer();

    // No port at all: an error on standard error, and the count does not stick.
    HttpServer::setPortCandidates({static_cast<uint16_t>(taken)});
    testing::internal::CaptureStderr();
    HttpServer::startServer();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "MHD_start_daemon failed!\n");
    EXPECT_FALSE(HttpServer::isRunning());
    HttpServer::stopServer();
    EXPECT_EQ(HttpServer::startCount(), 0);
    ::close(fd);
}

TEST(HttpServer, ExtractPath)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://10.0.0.2:8080/transfer/123/0", "/transfer/123/0"},
        {"http://host/a/b?x=1&y", "/a/b?x=1&y"},
        {"http://[::1]:8000/p", "/p"},
        {"http://host:99", ""},
        {"not a url", ""},
        {"/relative/only", ""},
        {"http://host/a#frag", "/a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(extractPath(c.first), c.second) << c.first;
}

class HttpServerTest : public ::testing::Test {
protected:
    TestSupport::TempDir dir;
    ServerScope server;
};

TEST_F(HttpServerTest, GetWithAndWithoutRange)
{
    const std::string data = pattern(1000, 3);
    HttpServer::addSend(memoryReader(data), 0, 1000, server.url("/g"), nullptr, nullptr);
    RawReply r = rawRequest(server.port(), get("/g", "Range: bytes=100-\r\n"));
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.header("Content-Range"), "bytes 100-1000/1000");
    EXPECT_TRUE(r.body == data.substr(100));

    r = rawRequest(server.port(), get("/g", "Range: bytes=0-\r\n"));
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body == data);
    r = rawRequest(server.port(), get("/g", "Range: bytes=1000-\r\n"));
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.body.size(), 0u);
    HttpServer::removeFiles({server.url("/g")});

    HttpServer::addSend(memoryReader(data), 0, 1000, server.url("/g2"), nullptr, nullptr);
    r = rawRequest(server.port(), get("/g2"));
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body == data);
    HttpServer::removeFiles({server.url("/g2")});
}

TEST_F(HttpServerTest, PutWritesFromContentRangeAndAnswersBlank)
{
    MemorySink sink;
    const std::string url = server.url("/p?k=v");
    HttpServer::addRecv(url, 1000, sink.writer(), 0, nullptr, nullptr);
    const std::string body = pattern(500, 4);
    RawReply r = rawRequest(server.port(), "PUT /p?k=v HTTP/1.1\r\nHost: x\r\nContent-Range: bytes 500-1000/1000\r\n"
                                           "Content-Length: 500\r\n\r\n" + body);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, " ");
    EXPECT_TRUE(sink.bytes.substr(500) == body);
    EXPECT_EQ(sink.highest, 1000u);
    HttpServer::removeFiles({url});
}

TEST_F(HttpServerTest, UnknownPathsAndWrongMethodsGet404)
{
    const std::string data = pattern(100);
    MemorySink sink;
    HttpServer::addSend(memoryReader(data), 0, 100, server.url("/send-only"), nullptr, nullptr);
    HttpServer::addRecv(server.url("/recv-only"), 100, sink.writer(), 0, nullptr, nullptr);
    const std::vector<std::string> requests = {
        get("/nothing"),
        get("/recv-only"),
        "PUT /send-only HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc",
        "DELETE /send-only HTTP/1.1\r\nHost: x\r\n\r\n",
        "POST /recv-only HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc",
        "HEAD /send-only HTTP/1.1\r\nHost: x\r\n\r\n",
        get("/send-only?extra=1"),
    };
    for (const std::string& request : requests) {
        const RawReply r = rawRequest(server.port(), request);
        EXPECT_EQ(r.status, 404) << request;
        EXPECT_TRUE(r.body.empty()) << request;
    }
    EXPECT_EQ(sink.highest, 0u);
    HttpServer::removeFiles({server.url("/send-only"), server.url("/recv-only")});
}

TEST_F(HttpServerTest, BadRangeAndLengthHeadersAreRefused)
{
    const std::string data = pattern(1000, 5);
    MemorySink sink;
    HttpServer::addSend(memoryReader(data), 0, 1000, server.url("/g"), nullptr, nullptr);
    HttpServer::addRecv(server.url("/p"), 1000, sink.writer(), 0, nullptr, nullptr);
    const std::vector<std::string> requests = {
        get("/g", "Range: bytes=abc-\r\n"),
        get("/g", "Range: bytes=-100\r\n"),
        get("/g", "Range: bytes= 100-\r\n"),
        get("/g", "Range: bytes=+100-\r\n"),
        get("/g", "Range: bytes=1001-\r\n"),
        get("/g", "Range: bytes=99999999999999999999999-\r\n"),
        get("/g", "Range: bytes=9223372036854775807-\r\n"),
        get("/g", "Range: items=1-\r\n"),
        get("/g", "Range: bytes=1-2,5-6\r\n"),
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Range: bytes x-1000/1000\r\nContent-Length: 3\r\n\r\nabc",
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Range: bytes 2000-3000/3000\r\nContent-Length: 3\r\n\r\nabc",
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Range: bytes 18446744073709551616-1/1\r\nContent-Length: 1\r\n\r\na",
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Length: 1001\r\n\r\n" + std::string(1001, 'x'),
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Range: bytes 999-1000/1000\r\nContent-Length: 2\r\n\r\nxx",
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Length: 12a\r\n\r\nabc",
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Length: -1\r\n\r\nabc",
        "PUT /p HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999999999999999\r\n\r\nabc",
        // No length at all: the body is bounded by the registered size.
        "PUT /p HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n7d0\r\n" + std::string(2000, 'y') + "\r\n0\r\n\r\n",
    };
    for (const std::string& request : requests) {
        const RawReply r = rawRequest(server.port(), request);
        const std::string head = request.substr(0, request.find("\r\n\r\n"));
        EXPECT_TRUE(!r.answered || (r.status >= 400 && r.status < 500)) << head << " -> " << r.status;
        EXPECT_LE(sink.highest, 1000u) << head;
    }
    EXPECT_EQ(sink.bytes.find('x'), std::string::npos);
    // Still serving.
    const RawReply ok = rawRequest(server.port(), get("/g", "Range: bytes=10-\r\n"));
    EXPECT_EQ(ok.status, 206);
    EXPECT_TRUE(ok.body == data.substr(10));
    HttpServer::removeFiles({server.url("/g"), server.url("/p")});
}

TEST_F(HttpServerTest, PassiveSendAndReceiveWithActivePeer)
{
    const std::string data = pattern(1500000, 6);
    writeFile(dir.file("src"), data);
    const std::string url = server.url("/passive/send");
    PassiveHttp passive;
    bool sent = false;
    std::thread serving([&] { sent = passive.send(fromUtf8(dir.file("src")), 0, url); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ActiveHttp peer;
    EXPECT_TRUE(peer.recv(url, data.size(), fromUtf8(dir.file("got")), 0));
    serving.join();
    EXPECT_TRUE(sent);
    EXPECT_TRUE(readFile(dir.file("got")) == data);
    EXPECT_EQ(passive.openFileCount(), 0u);

    // The peer delivers the rest of a half-received file.
    const std::string url2 = server.url("/passive/recv");
    writeFile(dir.file("half"), data.substr(0, 600000));
    bool received = false;
    std::thread receiving([&] { received = passive.recv(url2, data.size(), fromUtf8(dir.file("half")), 600000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(peer.send(fromUtf8(dir.file("src")), 600000, url2));
    receiving.join();
    EXPECT_TRUE(received);
    EXPECT_TRUE(readFile(dir.file("half")) == data);
}

TEST_F(HttpServerTest, CancelledPassiveChannelReturnsFalseQuickly)
{
    const std::string data = pattern(100);
    PassiveHttp passive;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        passive.cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(passive.send(memoryReader(data), 0, 100, server.url("/cancel")));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
    canceller.join();
    EXPECT_EQ(rawRequest(server.port(), get("/cancel")).status, 404);  // registration gone
}

TEST_F(HttpServerTest, WaitCompleteGivesUpOnAPeerThatNeverComes)
{
    const std::string data = pattern(100);
    EXPECT_FALSE(HttpServer::waitComplete({server.url("/never-registered")}));
    HttpServer::addSend(memoryReader(data), 0, 100, server.url("/lonely"), nullptr, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(HttpServer::waitComplete({server.url("/lonely")}));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(seconds, 15.5);
    EXPECT_LT(seconds, 18.5);
}
