#include "ostrel/DownloadTask.h"
#include "ostrel/FileUtil.h"
#include "ostrel/HttpServer.h"

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include "TransferTestUtil.h"
#include "support/FreePort.h"
#include "support/HttpDouble.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::HttpAnswer;
using TestSupport::HttpDouble;
using TestSupport::TempDir;

namespace fs = boost::filesystem;

namespace {

// A file server scripted by hand: key lookup, then the query, transfer and final replies.
class ScriptedReceive : public ::testing::Test {
protected:
    static void SetUpTestSuite() { HttpServer::setPortCandidates({static_cast<uint16_t>(TestSupport::freePort())}); }

    void SetUp() override
    {
        scriptAuthentication(server);
        signedInDevice(token);
        option.api = server.url("/api/v1/");
        receiveDir = temp.file("recv");
        outsideDir = temp.file("outside");
        fs::create_directories(receiveDir);
        fs::create_directories(outsideDir);
        option.downloadPath = fromUtf8(receiveDir);
        Json::Value search(Json::objectValue);
        search["key"] = "111111";
        search["server"] = server.url("/file/v1/");
        search["mode"] = "upload";
        search["device_id"] = "sender-1";
        server.answer("/api/v1/key/search/111111", {200, search.toStyledString()});
    }

    struct RemoteFile {
        std::string name;
        std::string bytes;
        uint64_t sent = 0;
    };

    // Replies: "query" with the list, "transfer" with URLs on the double, then `last`.
    void script(const std::vector<RemoteFile>& remote, const std::string& last, bool noRetry = false,
                bool withQuery = true)
    {
        Json::Value query(Json::objectValue);
        query["state"] = "query";
        Json::Value transfer(Json::objectValue);
        transfer["state"] = "transfer";
        transfer["parallel_transfer"] = false;
        transfer["no_retry"] = noRetry;
        for (size_t i = 0; i < remote.size(); ++i) {
            Json::Value item(Json::objectValue);
            item["name"] = remote[i].name;
            item["size"] = Json::UInt64(remote[i].bytes.size());
            item["time"] = 1500000000;
            query["file"].append(item);
            const std::string path = "/f/" + std::to_string(i);
            item["url"] = server.url(path);
            item["sent"] = Json::UInt64(remote[i].sent);
            transfer["file"].append(item);
            if (remote[i].sent > 0) {
                const std::string rest = remote[i].bytes.substr(remote[i].sent);
                const std::string range = "bytes " + std::to_string(remote[i].sent) + "-" +
                                          std::to_string(remote[i].bytes.size() - 1) + "/" +
                                          std::to_string(remote[i].bytes.size());
                server.answer(path, HttpAnswer(206, rest, 0, {{"Content-Range", range}}));
            } else {
                server.answer(path, {200, remote[i].bytes});
            }
        }
        if (withQuery)
            server.answerSequence("/file/v1/recv",
                                  {{200, query.toStyledString()}, {200, transfer.toStyledString()}, {200, last}});
        else
            server.answerSequence("/file/v1/recv", {{200, transfer.toStyledString()}, {200, last}});
    }

    EventList run(DownloadTask& task)
    {
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&option);
        recorder.attach(task);
        task.start();
        task.wait();
        return recorder.outcome();
    }

    std::vector<Json::Value> reports()
    {
        std::vector<Json::Value> result;
        for (const auto& r : server.requests("/file/v1/recv"))
            result.push_back(parse(r.body));
        return result;
    }

    std::vector<std::string> entries(const std::string& dir)
    {
        std::vector<std::string> names;
        for (fs::recursive_directory_iterator it(dir), end; it != end; ++it)
            names.push_back(it->path().string().substr(dir.size() + 1));
        std::sort(names.begin(), names.end());
        return names;
    }

    HttpDouble server;
    TempDir temp;
    AuthTokenValue token;
    TransferOption option;
    EventRecorder recorder;
    std::string receiveDir;
    std::string outsideDir;
};

TEST_F(ScriptedReceive, UnsafeNamesAreRefusedAndNothingLandsOutside)
{
    // A link inside the receive folder that points outside it.
    fs::create_directory_symlink(outsideDir, receiveDir + "/link");
    const std::vector<RemoteFile> remote = {
        {"../evil.txt", "evil 1"},
        {outsideDir + "/abs.txt", "evil 2"},
        {"link/x.txt", "evil 3"},
        {"sub/../../up.txt", "evil 4"},
        {std::string("nul\0name.txt", 12), "evil 5"},
        {"good/ok.txt", "good bytes"},
    };
    script(remote, R"({"state":"complete"})");
    DownloadTask task(L"111111", fromUtf8(receiveDir));
    const EventList outcome = run(task);

    int refused = 0;
    for (const auto& e : recorder.events())
        refused += e.second == DownloadTask::ERROR_FILE_UNSAFE_NAME;
    EXPECT_EQ(refused, 5);
    ASSERT_FALSE(outcome.empty());
    EXPECT_EQ(outcome.back(), std::make_pair(1, 259));
    EXPECT_EQ(readFile(receiveDir + "/good/ok.txt"), "good bytes");
    EXPECT_TRUE(entries(outsideDir).empty());
    EXPECT_FALSE(fs::exists(temp.file("evil.txt")));
    EXPECT_FALSE(fs::exists(temp.file("up.txt")));
    const std::vector<std::string> inside = {"good", "good/ok.txt", "link"};
    EXPECT_EQ(entries(receiveDir), inside);
    // Only the good file was fetched.
    EXPECT_EQ(server.count("/f/5"), 1u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(server.count("/f/" + std::to_string(i)), 0u) << i;
}

TEST_F(ScriptedReceive, LinkAtTheDestinationIsReplacedNotFollowed)
{
    writeFile(outsideDir + "/target.txt", "outside");
    fs::create_symlink(outsideDir + "/target.txt", receiveDir + "/t.txt");
    fs::create_symlink(outsideDir + "/temp.txt", receiveDir + "/u.txt.trovanti");
    option.rename = false;
    option.resume = false;
    script({{"t.txt", "new t"}, {"u.txt", "new u"}}, R"({"state":"complete"})", false, false);
    DownloadTask task(L"111111", fromUtf8(receiveDir));
    EXPECT_EQ(run(task).back(), std::make_pair(1, 257));
    EXPECT_EQ(readFile(outsideDir + "/target.txt"), "outside");
    EXPECT_FALSE(fs::exists(outsideDir + "/temp.txt"));
    EXPECT_TRUE(isFile(receiveDir + "/t.txt"));
    EXPECT_EQ(readFile(receiveDir + "/t.txt"), "new t");
    EXPECT_EQ(readFile(receiveDir + "/u.txt"), "new u");
    EXPECT_EQ(File::lastWriteTime(receiveDir + "/u.txt"), 1500000000);
}

TEST_F(ScriptedReceive, PartialTemporaryFileIsResumed)
{
    const std::string bytes = randomBytes(200000, 7);
    writeFile(receiveDir + "/big.bin.trovanti", bytes.substr(0, 65536));
    script({{"big.bin", bytes, 65536}}, R"({"state":"complete"})");
    DownloadTask task(L"111111", fromUtf8(receiveDir));
    EXPECT_EQ(run(task), EventList({{1, 257}}));
    EXPECT_EQ(md5(readFile(receiveDir + "/big.bin")), md5(bytes));
    EXPECT_FALSE(fs::exists(receiveDir + "/big.bin.trovanti"));
    const auto sent = reports();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0]["state"].asString(), "query");
    EXPECT_EQ(sent[1]["state"].asString(), "transfer");
    EXPECT_EQ(sent[1]["file"][0]["size"].asUInt64(), 65536u);
    EXPECT_EQ(sent.back()["state"].asString(), "complete");
    const auto gets = server.requests("/f/0");
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].header("Range"), "bytes=65536-");
    EXPECT_TRUE(recorder.has(100, TransferTask::TRANSFERRING_START_NEW_FILE));
}

TEST_F(ScriptedReceive, IncompleteFileNeverReplacesTheExistingOne)
{
    writeFile(receiveDir + "/keep.txt", "old contents");
    option.rename = false;
    const std::string bytes = randomBytes(5000, 3);
    script({{"keep.txt", bytes}}, R"({"state":"fail","no_retry":true})", true);
    // The double delivers fewer bytes than announced.
    server.answer("/f/0", {200, bytes.substr(0, 1000)});
    DownloadTask task(L"111111", fromUtf8(receiveDir));
    EXPECT_EQ(run(task).back(), std::make_pair(1, 259));
    EXPECT_EQ(readFile(receiveDir + "/keep.txt"), "old contents");
    EXPECT_TRUE(recorder.has(100, TransferTask::TRANSFERRING_PAUSE));
    EXPECT_EQ(reports().back()["state"].asString(), "fail");
}

TEST_F(ScriptedReceive, SelectionSkipsOtherFilesAndPresentFileIsKept)
{
    writeFile(receiveDir + "/have.txt", "12345");
    File::lastWriteTime(receiveDir + "/have.txt", 1000);
    script({{"have.txt", "abcde", 5}, {"a.jpg", "jpeg"}, {"b.txt", "text"}, {"report.pdf", "pdf"}},
           R"({"state":"complete"})");
    writeFile(receiveDir + "/report.pdf", "x");
    writeFile(receiveDir + "/report(1).pdf", "y");
    DownloadTask task(L"111111", std::vector<std::wstring>{L"have.txt", L"report.pdf"}, L".*\\.jpg");
    option.downloadPath = fromUtf8(receiveDir);
    EXPECT_EQ(run(task), EventList({{1, 257}}));
    EXPECT_EQ(readFile(receiveDir + "/have.txt"), "12345");
    EXPECT_EQ(File::lastWriteTime(receiveDir + "/have.txt"), 1500000000);
    EXPECT_EQ(readFile(receiveDir + "/a.jpg"), "jpeg");
    EXPECT_FALSE(fs::exists(receiveDir + "/b.txt"));
    EXPECT_EQ(readFile(receiveDir + "/report(2).pdf"), "pdf");
    EXPECT_EQ(server.count("/f/0"), 0u);
    EXPECT_EQ(server.count("/f/2"), 0u);
    const auto sent = reports();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[1]["file"][0]["size"].asUInt64(), 5u);
    EXPECT_EQ(sent[1]["file"][2]["size"].asUInt64(), 4u);
}

TEST(DownloadNames, SafeNameTable)
{
    TempDir temp;
    const std::wstring dir = fromUtf8(temp.path());
    writeFile(temp.file("plain"), "x");
    const struct {
        std::wstring name;
        bool safe;
    } cases[] = {
        {L"a.txt", true},          {L"dir/sub/a.txt", true}, {L"", false},          {L"/etc/passwd", false},
        {L"../a", false},          {L"a/../b", false},       {L"a/./b", false},     {L"a//b", false},
        {L"a\\..\\b", false},      {L"plain/x", false},      {L"dir/", false},      {std::wstring(300, L'n'), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DownloadTask::isSafeName(dir, c.name), c.safe) << toUtf8(c.name);
}

}  // namespace
