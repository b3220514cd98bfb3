#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "ChannelTestUtil.h"
#include "ostrel/ActiveHttp.h"
#include "ostrel/FileCallback.h"
#include "ostrel/HttpServer.h"
#include "ostrel/LogFunc.h"
#include "ostrel/StringUtil.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace ChannelTest;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Events {
    std::mutex mutex;
    std::vector<std::pair<Transfer::EventType, unsigned long>> list;
    Transfer::ProgressFunction callback()
    {
        return [this](const std::string&, unsigned long position, unsigned long, Transfer::EventType kind) {
            std::lock_guard<std::mutex> lock(mutex);
            list.emplace_back(kind, position);
        };
    }
};

}  // namespace

class ActiveHttpTest : public ::testing::Test {
protected:
    TestSupport::TempDir dir;
    ServerScope server;
};

TEST_F(ActiveHttpTest, GetWholeFileFromEmbeddedServer)
{
    const std::string data = pattern(3 * 1024 * 1024 + 17);
    const std::string url = server.url("/get/whole");
    HttpServer::addSend(memoryReader(data), 0, data.size(), url, nullptr, nullptr);
    ActiveHttp channel;
    Events events;
    channel.setProgressCallback(events.callback());
    EXPECT_TRUE(channel.recv(url, data.size(), fromUtf8(dir.file("out")), 0));
    EXPECT_TRUE(readFile(dir.file("out")) == data);
    ASSERT_GE(events.list.size(), 3u);
    EXPECT_EQ(events.list.front(), std::make_pair(Transfer::EVENT_START, 0ul));
    EXPECT_EQ(events.list.back(), std::make_pair(Transfer::EVENT_FINISH, static_cast<unsigned long>(data.size())));
    EXPECT_EQ(events.list[events.list.size() - 2].first, Transfer::EVENT_PROGRESS);
    EXPECT_EQ(channel.openFileCount(), 0u);
    EXPECT_FALSE(channel.isConnectError());
    HttpServer::removeFiles({url});
}

TEST_F(ActiveHttpTest, ResumeGetKeepsHeadAndZeroOffsetTruncates)
{
    const std::string data = pattern(100000, 2);
    const std::string url = server.url("/get/resume");
    HttpServer::addSend(memoryReader(data), 0, data.size(), url, nullptr, nullptr);
    const std::string local = dir.file("partial");
    const std::string head(1000, 'H');
    writeFile(local, head + std::string(500, 'x'));
    ActiveHttp channel;
    EXPECT_TRUE(channel.recv(url, data.size(), fromUtf8(local), 1000));
    EXPECT_TRUE(readFile(local) == head + data.substr(1000));

    // A fresh registration: the one above now expects the resumed offset.
    HttpServer::addSend(memoryReader(data), 0, data.size(), url, nullptr, nullptr);
    writeFile(local, pattern(200000, 5));
    EXPECT_TRUE(channel.recv(url, data.size(), fromUtf8(local), 0));
    EXPECT_TRUE(readFile(local) == data);
    HttpServer::removeFiles({url});
}

TEST_F(ActiveHttpTest, PutWholeAndResumedToEmbeddedServer)
{
    const std::string data = pattern(2 * 1024 * 1024 + 5, 4);
    const std::string src = dir.file("src");
    writeFile(src, data);
    const std::string dst = dir.file("dst");
    ActiveHttp receiverSide;  // owns the server-side file writer and its open-file table
    const std::string url = server.url("/put/whole");
    auto forward = [&receiverSide](const std::string& u, unsigned long p, unsigned long t, Transfer::EventType k) {
        receiverSide.progress(u, p, t, k);
    };
    HttpServer::addRecv(url, data.size(), FileCallback::makeWriter(receiverSide, url, fromUtf8(dst), data.size()), 0,
                        forward, nullptr);
    ActiveHttp channel;
    EXPECT_TRUE(channel.send(fromUtf8(src), 0, url));
    EXPECT_TRUE(readFile(dst) == data);

    // Resume: the receiver already has the first 700000 bytes.
    writeFile(dst, data.substr(0, 700000));
    EXPECT_TRUE(channel.send(fromUtf8(src), 700000, url));
    EXPECT_TRUE(readFile(dst) == data);
    HttpServer::removeFiles({url});

    EXPECT_FALSE(channel.send(fromUtf8(dir.file("missing")), 0, url));
}

TEST(ActiveHttpAnswers, StatusAndRangeRules)
{
    // Each case: the resume offset asked for, the answer the peer gives, the expected result and
    // what the local file must hold afterwards. The file is 1000 bytes; 100 are present already.
    const std::string data = pattern(1000, 6);
    const std::string head(100, 'H');
    struct Case {
        const char* name;
        unsigned long offset;
        std::string reply;
        bool ok;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"206 with matching range", 100, httpReply(206, data.substr(100), {"Content-Range: bytes 100-1000/1000"}), true,
         head + data.substr(100)},
        {"206 without a Range request", 0, httpReply(206, data, {"Content-Range: bytes 0-1000/1000"}), false, ""},
        {"200 with the rest to a Range request", 100, httpReply(200, data.substr(100)), true, head + data.substr(100)},
        {"200 with the whole file to a Range request", 100, httpReply(200, data), false, head},
        {"206 from a wrong offset", 100, httpReply(206, data.substr(50), {"Content-Range: bytes 50-1000/1000"}), false,
         head},
        {"206 without Content-Range", 100, httpReply(206, data.substr(100)), false, head},
        {"206 with a malformed Content-Range", 100,
         httpReply(206, data.substr(100), {"Content-Range: bytes 1x0-1000/1000"}), false, head},
        {"200 longer than the file", 0, httpReply(200, data + "EXTRA"), false, ""},
        {"200 longer than the file, no length", 0,
         "HTTP/1.0 200 OK\r\nConnection: close\r\n\r\n" + data + std::string(5000, 'E'), false, ""},
        {"malformed Content-Length", 0, "HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n\r\n" + data, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestSupport::TempDir dir;
        ScriptedServer peer([&c](const ScriptedServer::Request&) { return c.reply; });
        const std::string local = dir.file("f");
        if (c.offset > 0)
            writeFile(local, head);
        ActiveHttp channel;
        EXPECT_EQ(channel.recv(peer.url("/f"), 1000, fromUtf8(local), c.offset), c.ok);
        const std::string got = readFile(local);
        if (c.ok || c.offset > 0) {
            EXPECT_TRUE(got == c.expected);
        }
        EXPECT_LE(got.size(), 1000u);
        // Without a length the overrun shows only once the bytes arrive; the file still stays in bounds.
        const bool lengthKnown = c.reply.find("Content-Length") != std::string::npos;
        if (!c.ok && lengthKnown && got.size() > c.offset) {
            ADD_FAILURE() << "bytes stored from a refused answer";
        }
        const auto requests = peer.requests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests[0].header("User-Agent"), "ostrel/1.0");
        EXPECT_EQ(requests[0].header("Range"), c.offset ? "bytes=" + std::to_string(c.offset) + "-" : "");
        EXPECT_EQ(requests.size(), 1u) << "a wrong answer is not asked again";
    }
}

TEST(ActiveHttpAnswers, ErrorBodyIsNotStoredAndStatusIsRetried)
{
    TestSupport::TempDir dir;
    const std::string data = pattern(5000, 8);
    std::atomic<int> calls{0};
    ScriptedServer peer([&](const ScriptedServer::Request&) {
        return ++calls <= 2 ? httpReply(503, "busy, try later") : httpReply(200, data);
    });
    ActiveHttp channel;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(channel.recv(peer.url("/f"), data.size(), fromUtf8(dir.file("f")), 0));
    EXPECT_TRUE(readFile(dir.file("f")) == data);
    EXPECT_EQ(calls.load(), 3);
    EXPECT_GT(secondsSince(start), 0.35);  // two 200 ms pauses
}

TEST(ActiveHttpAnswers, PutSendsContentRangeWithTotalSize)
{
    TestSupport::TempDir dir;
    const std::string data = pattern(3000, 9);
    writeFile(dir.file("src"), data);
    ScriptedServer peer([](const ScriptedServer::Request&) { return httpReply(200, " "); });
    ActiveHttp channel;
    EXPECT_TRUE(channel.send(fromUtf8(dir.file("src")), 1000, peer.url("/p")));
    EXPECT_TRUE(channel.send(fromUtf8(dir.file("src")), 0, peer.url("/p")));
    const auto requests = peer.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].head.rfind("PUT /p ", 0), 0u);
    EXPECT_EQ(requests[0].header("Content-Range"), "bytes 1000-3000/3000");
    EXPECT_EQ(requests[0].header("Content-Length"), "2000");
    EXPECT_EQ(requests[0].body, data.substr(1000));
    EXPECT_EQ(requests[1].header("Content-Range"), "");
    EXPECT_EQ(requests[1].body, data);

    // Only 200 counts for a PUT.
    ScriptedServer created([](const ScriptedServer::Request&) { return httpReply(201, ""); });
    EXPECT_FALSE(channel.send(fromUtf8(dir.file("src")), 0, created.url("/p")));
}

TEST(ActiveHttpAnswers, LocalFileErrorIsNotRetried)
{
    ScriptedServer peer([](const ScriptedServer::Request&) { return httpReply(200, pattern(100)); });
    ActiveHttp channel;
    auto failing = [](const char*, unsigned long, unsigned long) -> long { return -1; };
    EXPECT_FALSE(channel.recv(peer.url("/f"), 100, failing, 0));
    EXPECT_TRUE(channel.isFileError());
    EXPECT_FALSE(channel.isConnectError());
    EXPECT_EQ(peer.requests().size(), 1u);

    auto failingRead = [](char*, unsigned long, unsigned long) -> long { return -1; };
    EXPECT_FALSE(channel.send(failingRead, 0, 100, peer.url("/p")));
    EXPECT_TRUE(channel.isFileError());
}

TEST(ActiveHttpAnswers, RefusedConnectionUsesTheRetryBudget)
{
    const int port = TestSupport::freePort();  // nothing listens there
    ActiveHttp channel;
    std::vector<std::string> lines;
    std::mutex linesMutex;
    setDebugLogCallback(
        [&](int, const char* text) {
            std::lock_guard<std::mutex> lock(linesMutex);
            lines.emplace_back(text);
        },
        nullptr);
    const auto start = std::chrono::steady_clock::now();
    auto sink = [](const char*, unsigned long, unsigned long length) -> long { return static_cast<long>(length); };
    EXPECT_FALSE(channel.recv("http://127.0.0.1:" + std::to_string(port) + "/x", 10, sink, 0));
    const double seconds = secondsSince(start);
    setDebugLogCallback(nullptr, nullptr);
    EXPECT_TRUE(channel.isConnectError());
    EXPECT_FALSE(channel.isFileError());
    EXPECT_GT(seconds, 9.9);
    EXPECT_LT(seconds, 12.5);
    // Five quick retries in the first second, then one a second until ten seconds passed.
    ASSERT_GE(lines.size(), 14u);
    EXPECT_LE(lines.size(), 16u);
    EXPECT_EQ(lines[0].rfind("file transfer failed (7): ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("(http://127.0.0.1:" + std::to_string(port) + "/x)\n"), std::string::npos) << lines[0];
}

TEST(ActiveHttpAnswers, CancelStopsARunningTransfer)
{
    TestSupport::TempDir dir;
    // The peer answers slowly: the headers, then nothing.
    ScriptedServer peer([](const ScriptedServer::Request&) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return httpReply(200, "late");
    });
    ActiveHttp channel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        channel.cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel.recv(peer.url("/slow"), 4, fromUtf8(dir.file("f")), 0));
    EXPECT_LT(secondsSince(start), 2.0);
    canceller.join();
}

TEST_F(ActiveHttpTest, ThrottledGetKeepsTheLimit)
{
    const std::string data = pattern(8 * 1024 * 1024, 11);
    const std::string url = server.url("/get/throttled");
    HttpServer::addSend(memoryReader(data), 0, data.size(), url, nullptr, nullptr);
    ActiveHttp channel;
    channel.setTransferSpeedLimit(4 * 1024 * 1024);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(channel.recv(url, data.size(), fromUtf8(dir.file("out")), 0));
    const double seconds = secondsSince(start);
    EXPECT_TRUE(readFile(dir.file("out")) == data);
    // 8 MiB at 4 MiB/s: about two seconds, less the first block that starts the clock.
    EXPECT_GT(seconds, 1.2);
    EXPECT_LT(seconds, 5.0);  // generous: the machine may be busy
    HttpServer::removeFiles({url});
}
