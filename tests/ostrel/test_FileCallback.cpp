#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ChannelTestUtil.h"
#include "ostrel/FileCallback.h"
#include "ostrel/MultiTransfer.h"
#include "ostrel/StringUtil.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace ChannelTest;

namespace {

// A channel that only queues, so the file callbacks can be driven by hand.
class QueueChannel : public MultiTransfer {
public:
    bool action(unsigned long) override { return true; }
};

}  // namespace

TEST(FileCallback, WriterAtZeroTruncatesAndAtOffsetKeepsHead)
{
    TestSupport::TempDir dir;
    const std::string path = dir.file("f");
    const std::string old = pattern(5000, 7);
    QueueChannel channel;

    writeFile(path, old);
    {
        auto write = FileCallback::makeWriter(channel, "u1", fromUtf8(path), 5000);
        EXPECT_EQ(write("abc", 0, 3), 3);
    }
    EXPECT_TRUE(readFile(path) == "abc");

    writeFile(path, old);
    const std::string fresh = pattern(4000, 9);
    {
        auto write = FileCallback::makeWriter(channel, "u2", fromUtf8(path), 5000);
        EXPECT_EQ(write(fresh.data(), 1000, 2000), 2000);
        EXPECT_EQ(write(fresh.data() + 2000, 3000, 2000), 2000);
        EXPECT_EQ(channel.openFileCount(), 1u);
        channel.progress("u2", 5000, 5000, Transfer::EVENT_FINISH);
        EXPECT_EQ(channel.openFileCount(), 0u);
    }
    EXPECT_TRUE(readFile(path) == old.substr(0, 1000) + fresh);
}

TEST(FileCallback, WriterNeverStoresPastTheSize)
{
    TestSupport::TempDir dir;
    const std::string path = dir.file("f");
    QueueChannel channel;
    auto write = FileCallback::makeWriter(channel, "u", fromUtf8(path), 10);
    EXPECT_EQ(write("0123456789", 0, 8), 8);
    EXPECT_LT(write("89ab", 8, 4), 1);
    EXPECT_LT(write("x", 11, 1), 1);
    EXPECT_LT(write("x", static_cast<unsigned long>(-2), 4), 1);
    EXPECT_EQ(write("89", 8, 2), 2);
    channel.progress("u", 10, 10, Transfer::EVENT_FINISH);
    EXPECT_TRUE(readFile(path) == "0123456789");
}

TEST(FileCallback, EmptyPathCountsWithoutFile)
{
    TestSupport::TempDir dir;
    QueueChannel channel;
    auto write = FileCallback::makeWriter(channel, "u", L"", 100);
    EXPECT_EQ(write("abcdefghij", 0, 10), 10);
    EXPECT_EQ(write("abcdefghij", 50, 10), 10);
    EXPECT_EQ(channel.openFileCount(), 0u);
}

TEST(FileCallback, ReaderSeeksAndFailsOnMissingFile)
{
    TestSupport::TempDir dir;
    const std::string path = dir.file("src");
    const std::string data = pattern(1000, 3);
    writeFile(path, data);
    QueueChannel channel;
    auto read = FileCallback::makeReader(channel, "u", fromUtf8(path), 1000);
    char buffer[100];
    EXPECT_EQ(read(buffer, 900, 100), 100);
    EXPECT_EQ(std::string(buffer, 100), data.substr(900, 100));
    EXPECT_EQ(read(buffer, 10, 50), 50);
    EXPECT_EQ(std::string(buffer, 50), data.substr(10, 50));
    EXPECT_EQ(read(buffer, 1000, 100), 0);  // end
    // A finish event closes the file; the next read opens it again.
    channel.progress("u", 1000, 1000, Transfer::EVENT_FINISH);
    EXPECT_EQ(read(buffer, 0, 10), 10);
    EXPECT_EQ(std::string(buffer, 10), data.substr(0, 10));

    auto missing = FileCallback::makeReader(channel, "v", fromUtf8(dir.file("none")), 10);
    EXPECT_LT(missing(buffer, 0, 10), 1);
}

TEST(FileCallback, ThrottleHoldsTheAverageRate)
{
    TestSupport::TempDir dir;
    const std::string path = dir.file("src");
    const size_t total = 256 * 1024;
    writeFile(path, pattern(total));
    QueueChannel channel;
    channel.setTransferSpeedLimit(102400);
    auto read = FileCallback::makeReader(channel, "u", fromUtf8(path), total);
    std::vector<char> buffer(16384);
    const auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < total; at += buffer.size()) {
        if (at == buffer.size())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the clock counts whole milliseconds
        ASSERT_EQ(read(buffer.data(), at, buffer.size()), static_cast<long>(buffer.size()));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // (256 KiB - the first block) at 100 KiB/s is 2.4 s.
    EXPECT_GT(seconds, 2.0);
    EXPECT_LT(seconds, 3.5);

    // Cancelling ends the waits at once.
    QueueChannel cancelled;
    cancelled.setTransferSpeedLimit(1);
    auto slow = FileCallback::makeReader(cancelled, "u", fromUtf8(path), total);
    cancelled.cancel();
    const auto t0 = std::chrono::steady_clock::now();
    slow(buffer.data(), 0, buffer.size());
    slow(buffer.data(), buffer.size(), buffer.size());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(), 0.5);
}
