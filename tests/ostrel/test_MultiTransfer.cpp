#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "ChannelTestUtil.h"
#include "ostrel/ActiveHttp.h"
#include "ostrel/ActiveMultiHttp.h"
#include "ostrel/HttpServer.h"
#include "ostrel/PassiveMultiHttp.h"
#include "ostrel/StringUtil.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace ChannelTest;

namespace {

// Serves data in small blocks with a pause each, so transfers overlap long enough to be observed.
Transfer::ReadFunction slowReader(const std::string& data, int pauseMs)
{
    return [&data, pauseMs](char* buffer, unsigned long offset, unsigned long length) -> long {
        if (offset >= data.size())
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        const size_t n = std::min<size_t>(std::min<size_t>(length, 4096), data.size() - offset);
        memcpy(buffer, data.data() + offset, n);
        return static_cast<long>(n);
    };
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

class MultiTransferTest : public ::testing::Test {
protected:
    std::string url(int i) const { return server.url("/multi/" + std::to_string(i)); }
    std::list<std::string> urls(int count) const
    {
        std::list<std::string> list;
        for (int i = 0; i < count; ++i)
            list.push_back(url(i));
        return list;
    }
    TestSupport::TempDir dir;
    ServerScope server;
};

TEST_F(MultiTransferTest, AtMostNFilesAtOnce)
{
    const std::string data = pattern(40000, 1);
    for (int i = 0; i < 12; ++i)
        HttpServer::addSend(slowReader(data, 5), 0, data.size(), url(i), nullptr, nullptr);
    ActiveMultiHttp channel;
    std::atomic<size_t> most{0};
    channel.setProgressCallback([&](const std::string&, unsigned long, unsigned long, Transfer::EventType) {
        const size_t now = channel.runningCount();
        size_t seen = most.load();
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
    });
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(channel.recv(url(i), data.size(), fromUtf8(dir.file(std::to_string(i))), 0));
    EXPECT_EQ(channel.queue().size(), 12u);
    EXPECT_TRUE(channel.run(5));
    EXPECT_LE(most.load(), 5u);
    EXPECT_GE(most.load(), 4u);
    for (int i = 0; i < 12; ++i)
        EXPECT_TRUE(readFile(dir.file(std::to_string(i))) == data) << i;
    EXPECT_EQ(channel.openFileCount(), 0u);
    EXPECT_TRUE(channel.queue().empty());
    HttpServer::removeFiles(urls(12));
}

TEST_F(MultiTransferTest, AFailureStartsNoNewFile)
{
    const std::string data = pattern(40000, 2);
    // File 1 comes fast and fails at its first byte, long before the slow others end.
    for (int i = 0; i < 12; ++i)
        HttpServer::addSend(slowReader(data, i == 1 ? 0 : 40), 0, data.size(), url(i), nullptr, nullptr);
    ActiveMultiHttp channel;
    std::mutex mutex;
    std::set<std::string> started;
    channel.setProgressCallback([&](const std::string& u, unsigned long, unsigned long, Transfer::EventType kind) {
        if (kind == Transfer::EVENT_START) {
            std::lock_guard<std::mutex> lock(mutex);
            started.insert(u);
        }
    });
    for (int i = 0; i < 12; ++i) {
        if (i == 1)
            channel.recv(url(i), data.size(), [](const char*, unsigned long, unsigned long) -> long { return -1; }, 0);
        else
            channel.recv(url(i), data.size(), fromUtf8(dir.file(std::to_string(i))), 0);
    }
    EXPECT_FALSE(channel.run(5));
    EXPECT_EQ(started.size(), 5u);
    for (int i : {0, 2, 3, 4})
        EXPECT_TRUE(readFile(dir.file(std::to_string(i))) == data) << i;
    for (int i = 5; i < 12; ++i)
        EXPECT_FALSE(fileExists(dir.file(std::to_string(i)))) << i;
    EXPECT_FALSE(channel.isConnectError());
    HttpServer::removeFiles(urls(12));
}

TEST_F(MultiTransferTest, CancelReachesEveryRunningFile)
{
    const std::string data = pattern(400000, 3);
    for (int i = 0; i < 8; ++i)
        HttpServer::addSend(slowReader(data, 20), 0, data.size(), url(i), nullptr, nullptr);
    ActiveMultiHttp channel;
    for (int i = 0; i < 8; ++i)
        channel.recv(url(i), data.size(), fromUtf8(dir.file(std::to_string(i))), 0);
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(channel.runningCount(), 5u);
        channel.cancel();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(channel.run(5));
    EXPECT_LT(secondsSince(start), 3.0);
    canceller.join();
    EXPECT_EQ(channel.runningCount(), 0u);
    HttpServer::removeFiles(urls(8));
}

TEST_F(MultiTransferTest, ManySmallFilesUploadWithoutPerFileStalls)
{
    const int count = 300;
    const std::string data = pattern(16384, 4);
    writeFile(dir.file("src"), data);
    std::vector<std::string> sinks(count);
    for (int i = 0; i < count; ++i) {
        std::string* sink = &sinks[i];
        HttpServer::addRecv(url(i), data.size(),
                            [sink](const char* bytes, unsigned long offset, unsigned long length) -> long {
                                if (sink->size() < offset + length)
                                    sink->resize(offset + length);
                                memcpy(&(*sink)[offset], bytes, length);
                                return static_cast<long>(length);
                            },
                            0, nullptr, nullptr);
    }
    ActiveMultiHttp channel;
    for (int i = 0; i < count; ++i)
        channel.send(fromUtf8(dir.file("src")), 0, url(i));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(channel.run(5));
    EXPECT_LT(secondsSince(start), 10.0);
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(sinks[i] == data) << i;
    HttpServer::removeFiles(urls(count));

    // A parallel number of 0 still moves the queue (one at a time).
    HttpServer::addRecv(url(0), data.size(), [](const char*, unsigned long, unsigned long n) { return long(n); }, 0,
                        nullptr, nullptr);
    channel.send(fromUtf8(dir.file("src")), 0, url(0));
    EXPECT_TRUE(channel.run(0));
    HttpServer::removeFiles(urls(1));
}

TEST_F(MultiTransferTest, PassivePassServesThreeFilesConcurrently)
{
    std::vector<std::string> files;
    for (int i = 0; i < 3; ++i) {
        files.push_back(pattern(300000 + i * 1000, 10 + i));
        writeFile(dir.file("src" + std::to_string(i)), files.back());
    }
    PassiveMultiHttp channel;
    for (int i = 0; i < 3; ++i)
        channel.send(fromUtf8(dir.file("src" + std::to_string(i))), 0, url(i));
    bool ok = false;
    std::thread pass([&] { ok = channel.run(5); });
    std::vector<std::thread> peers;
    std::atomic<int> fetched{0};
    for (int i : {2, 0, 1}) {
        peers.emplace_back([&, i] {
            ActiveHttp peer;  // retries the 404 until the pass has registered the file
            if (peer.recv(url(i), files[i].size(), fromUtf8(dir.file("got" + std::to_string(i))), 0))
                ++fetched;
        });
    }
    for (std::thread& t : peers)
        t.join();
    pass.join();
    EXPECT_EQ(fetched.load(), 3);
    EXPECT_TRUE(ok);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(readFile(dir.file("got" + std::to_string(i))) == files[i]) << i;
    EXPECT_EQ(channel.openFileCount(), 0u);
}
