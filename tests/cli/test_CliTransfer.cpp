#include <boost/filesystem.hpp>

#include "CliTestUtil.h"

using namespace CliTest;
namespace fs = boost::filesystem;

namespace {

struct SourceFile {
    std::string relative;  // below the source folder and, for the sent names, below the receive folder
    std::string bytes;
};

struct ModeCase {
    const char* mode;
    bool receiverAfterUpload;  // the receiver starts only once the sender has ended
    const char* route;         // expected route of the receive, empty when either may win
};

class CliSendReceive : public CliFixture, public ::testing::WithParamInterface<ModeCase> {
protected:
    void SetUp() override
    {
        src = temp.file("src");
        files = {
            {"one.bin", randomBytes(2 * 1024 * 1024 + 3, 1)},
            {"two.txt", "hello two"},
            {"empty.dat", ""},
            {"Tree/a.txt", "tree a"},
            {"Tree/sub/b.bin", randomBytes(300 * 1024, 2)},
            {"Tree/sub/deeper/c.txt", "c"},
        };
        int i = 0;
        for (const auto& f : files) {
            const std::string path = src + "/" + f.relative;
            fs::create_directories(fs::path(path).parent_path());
            writeFile(path, f.bytes);
            Ostrel::File::lastWriteTime(path, 1500000000 + 977 * (++i));
        }
    }

    std::string src;
    std::vector<SourceFile> files;
};

TEST_P(CliSendReceive, FilesAndFolderTreeArriveIntactWithTheirTimes)
{
    const ModeCase c = GetParam();
    const std::string recv = temp.file("recv");
    auto sender = process("send");
    sender->start(args(a, "send", {"--mode", c.mode, src + "/one.bin", src + "/two.txt", src + "/empty.dat",
                                   src + "/Tree"}));
    const std::string key = sender->waitForKey(20000);
    ASSERT_EQ(key.size(), 6u) << sender->out() << sender->err();
    if (c.receiverAfterUpload) {
        ASSERT_EQ(sender->wait(30000), 0) << sender->err();
    }

    auto receiver = process("receive");
    receiver->start(args(b, "receive", {key, "-o", recv, "--json"}));
    ASSERT_EQ(receiver->wait(60000), 0) << receiver->err() << receiver->out();
    ASSERT_EQ(sender->wait(30000), 0) << sender->err() << sender->out();

    for (const auto& f : files) {
        const std::string path = recv + "/" + f.relative;
        ASSERT_TRUE(isFile(path)) << path;
        EXPECT_EQ(Ostrel::md5(readFile(path)), Ostrel::md5(f.bytes)) << path;
        EXPECT_EQ(Ostrel::File::lastWriteTime(path), Ostrel::File::lastWriteTime(src + "/" + f.relative)) << path;
    }
    for (fs::recursive_directory_iterator it(recv), end; it != end; ++it)
        EXPECT_EQ(it->path().string().find(".trovanti"), std::string::npos) << it->path();

    const Json::Value done = findEvent(receiver->events(), "done");
    ASSERT_TRUE(done.isObject()) << receiver->out();
    EXPECT_EQ(done["files"].asUInt64(), files.size());
    EXPECT_EQ(done["files_done"].asUInt64(), files.size());
    uint64_t total = 0;
    for (const auto& f : files)
        total += f.bytes.size();
    EXPECT_EQ(done["total"].asUInt64(), total);
    EXPECT_EQ(done["moved"].asUInt64(), total);
    if (*c.route) {
        EXPECT_EQ(done["route"].asString(), c.route);
    }
    EXPECT_NE(sender->out().find("Sent 6 files"), std::string::npos) << sender->out();
}

INSTANTIATE_TEST_SUITE_P(Modes, CliSendReceive,
                         ::testing::Values(ModeCase{"direct", false, "direct"}, ModeCase{"upload", true, "relay"},
                                           ModeCase{"hybrid", false, ""}),
                         [](const ::testing::TestParamInfo<ModeCase>& info) { return std::string(info.param.mode); });

class CliResume : public CliFixture {};

// A receiver killed half way leaves its temporary file; the next receive of the same key continues
// from it and moves only the missing part.
TEST_F(CliResume, KilledReceiverResumesFromItsTemporaryFile)
{
    const size_t mib = 256;
    const uint64_t size = static_cast<uint64_t>(mib) << 20;
    const std::string big = temp.file("big.bin");
    writeRandomFile(big, mib, 7);
    const std::string recv = temp.file("recv");
    const std::string partial = recv + "/big.bin.trovanti";

    auto sender = process("send");
    sender->start(args(a, "send", {"--mode", "upload", "--quiet", big}));
    const std::string key = sender->waitForKey(20000);
    ASSERT_FALSE(key.empty()) << sender->err();
    ASSERT_EQ(sender->wait(60000), 0) << sender->err();

    auto first = process("receive1");
    first->start(args(b, "receive", {key, "-o", recv, "--json", "--limit-rate", "40M"}));
    ASSERT_TRUE(waitUntil([&] { return fileSize(partial) >= size * 4 / 10 || !first->running(); }, 30000));
    first->signal(SIGKILL);
    EXPECT_EQ(first->wait(5000), 128 + SIGKILL);
    const uint64_t kept = fileSize(partial);
    ASSERT_GT(kept, 0u);
    ASSERT_LT(kept, size) << "the receiver was not throttled";
    EXPECT_FALSE(isFile(recv + "/big.bin"));

    auto second = process("receive2");
    second->start(args(b, "receive", {key, "-o", recv, "--json"}));
    ASSERT_EQ(second->wait(60000), 0) << second->err() << second->out();
    EXPECT_TRUE(sameContent(recv + "/big.bin", big));
    EXPECT_FALSE(isFile(partial));
    const auto events = second->events();
    const Json::Value start = findEvent(events, "file_start");
    ASSERT_TRUE(start.isObject()) << second->out();
    EXPECT_GE(start["offset"].asUInt64(), kept);
    const Json::Value done = findEvent(events, "done");
    ASSERT_TRUE(done.isObject()) << second->out();
    EXPECT_EQ(done["total"].asUInt64(), size);
    EXPECT_GE(done["resumed"].asUInt64(), kept);
    EXPECT_LE(done["moved"].asUInt64(), size - kept);
    EXPECT_EQ(done["moved"].asUInt64() + done["resumed"].asUInt64(), size);
}

// The file server gives up on a vanished peer after three seconds instead of thirty.
class CliSenderKilled : public CliFixture {
protected:
    CliSenderKilled() : CliFixture({"--pair-timeout", "3"}) {}
};

TEST_F(CliSenderKilled, ReceiverFailsWithAReasonAndKeepsItsTemporaryFile)
{
    const std::string big = temp.file("big.bin");
    writeRandomFile(big, 64, 11);
    const std::string recv = temp.file("recv");
    const std::string partial = recv + "/big.bin.trovanti";

    auto sender = process("send");
    sender->start(args(a, "send", {"--mode", "direct", big}));
    const std::string key = sender->waitForKey(20000);
    ASSERT_FALSE(key.empty()) << sender->err();

    auto receiver = process("receive");
    receiver->start(args(b, "receive", {key, "-o", recv, "--limit-rate", "8M"}));
    ASSERT_TRUE(waitUntil([&] { return fileSize(partial) >= (8u << 20) || !receiver->running(); }, 30000));
    ASSERT_TRUE(receiver->running()) << receiver->err();
    sender->signal(SIGKILL);
    EXPECT_EQ(sender->wait(5000), 128 + SIGKILL);

    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(receiver->wait(40000), 1) << receiver->out();
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(took, std::chrono::seconds(40));
    std::printf("receiver ended %.1f s after the sender was killed\n", std::chrono::duration<double>(took).count());
    const std::string err = receiver->err();
    EXPECT_NE(err.find("no route to peer"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(isFile(recv + "/big.bin"));
    EXPECT_TRUE(isFile(partial));
    EXPECT_GT(fileSize(partial), 0u);
}

}  // namespace
