#include "ostrel/ActiveHttp.h"
#include "ostrel/ActiveMultiHttp.h"
#include "ostrel/PassiveHttp.h"
#include "ostrel/PassiveMultiHttp.h"
#include "ostrel/TransferInfo.h"
#include "ostrel/TransferTask.h"

#include <gtest/gtest.h>

#include "TaskTestUtil.h"
#include "support/HttpDouble.h"

using namespace Ostrel;
using TestSupport::HttpDouble;

namespace {

struct SessionFixture : ::testing::Test {
    HttpDouble server;
    AuthTokenValue token;
    std::string path;

    void SetUp() override
    {
        token.deviceId = "dev-9";
        token.devicePassword = "pw-9";
        token.userId = "alice";
        token.authToken = "bearer-token";
        path = server.url("/file/v1/recv");
    }

    std::string report(TransferInfo& session, const char* state, const std::string& reply,
                       const std::vector<TransferInfo::LocalFile>& files = {})
    {
        server.answer("/file/v1/recv", {200, reply});
        session.setAuthorization(token);
        return session.update(path, L"123456", state, files);
    }
};

TEST_F(SessionFixture, ReportCarriesStateFilesBlackListAndDeviceCredentialsOnly)
{
    TransferInfo session(true);
    session.addBlackList("http://10.9.9.9:8080/ostrel/a/0");
    TransferInfo::LocalFile file;
    file.name = L"dir/\u00e9t\u00e9.txt";
    file.size = 42;
    file.time = 1600000000;
    EXPECT_EQ(report(session, "query", R"({"state":"query"})", {file}), "query");

    const auto requests = server.requests("/file/v1/recv");
    ASSERT_EQ(requests.size(), 1u);
    const Json::Value body = TaskTest::parse(requests[0].body);
    EXPECT_EQ(body["key"].asString(), "123456");
    EXPECT_EQ(body["state"].asString(), "query");
    EXPECT_EQ(body["mode"].asString(), "direct");
    EXPECT_TRUE(body["parallel_transfer"].asBool());
    ASSERT_EQ(body["file"].size(), 1u);
    EXPECT_EQ(body["file"][0]["name"].asString(), "dir/\xc3\xa9t\xc3\xa9.txt");
    EXPECT_EQ(body["file"][0]["size"].asUInt64(), 42u);
    EXPECT_EQ(body["file"][0]["time"].asInt(), 1600000000);
    ASSERT_EQ(body["black_list"].size(), 1u);
    EXPECT_EQ(body["black_list"][0].asString(), "10.9.9.9:8080");
    EXPECT_TRUE(body.isMember("listen_port"));
    // Basic device credentials even though the record holds a bearer token.
    EXPECT_EQ(requests[0].header("Authorization").compare(0, 6, "Basic "), 0);
}

TEST_F(SessionFixture, ParallelWishSurvivesRepliesWithoutIt)
{
    for (const bool wish : {true, false}) {
        server.clearRequests();
        TransferInfo session(true);
        session.setParallel(wish);
        report(session, "query", R"({"state":"query","file":[{"name":"a","size":1}]})");
        EXPECT_FALSE(session.isParallel());
        report(session, "transfer", R"({"state":"transfer","parallel_transfer":true,"file":[{"name":"a","url":"u"}]})");
        EXPECT_TRUE(session.isParallel());
        const auto requests = server.requests("/file/v1/recv");
        ASSERT_EQ(requests.size(), 2u);
        for (const auto& r : requests)
            EXPECT_EQ(TaskTest::parse(r.body)["parallel_transfer"].asBool(), wish) << wish;
    }
}

TEST_F(SessionFixture, MainSessionLeavesOutModeAndEmptyLists)
{
    TransferInfo session(false);
    report(session, "transfer", R"({"state":"query"})");
    const Json::Value body = TaskTest::parse(server.requests("/file/v1/recv")[0].body);
    EXPECT_FALSE(body.isMember("mode"));
    EXPECT_FALSE(body.isMember("file"));
    EXPECT_FALSE(body.isMember("black_list"));
}

TEST_F(SessionFixture, ReplyFilesSentValuesAndPlaceholders)
{
    TransferInfo session(false);
    const std::string reply = R"({"state":"transfer","parallel_transfer":false,"parallel_number":3,
        "peer_device_id":"peer-1","file":[
        {"name":"a.txt","size":10,"time":5,"url":"http://{SERVER_IP}/relay/v1/T/0","sent":-1},
        {"name":"b.txt","size":20,"url":"http://{SERVER_IP}/x/{SERVER_IP}"},
        {"name":"c.txt","size":30,"url":"http://other:81/c","sent":7}]})";
    EXPECT_EQ(report(session, "transfer", reply), "transfer");
    const auto& files = session.remoteFiles();
    ASSERT_EQ(files.size(), 3u);
    const std::string authority = "127.0.0.1:" + std::to_string(server.port());
    EXPECT_EQ(files[0].url, "http://" + authority + "/relay/v1/T/0");
    EXPECT_EQ(files[1].url, "http://" + authority + "/x/" + authority);
    EXPECT_EQ(files[2].url, "http://other:81/c");
    EXPECT_EQ(files[0].sent, 0u);
    EXPECT_EQ(files[1].sent, 0u);
    EXPECT_EQ(files[2].sent, 7u);
    EXPECT_EQ(files[0].time, 5);
    EXPECT_EQ(files[1].name, L"b.txt");
    EXPECT_TRUE(session.isRelay());
    EXPECT_EQ(session.parallelNumber(), 3);
    EXPECT_EQ(session.peerDeviceId(), "peer-1");
    EXPECT_NE(dynamic_cast<ActiveHttp*>(session.channel()), nullptr);

    // A shorter list keeps the marks of the positions that stay.
    session.completedFile(L"a.txt");
    session.completedFile(L"b.txt");
    EXPECT_EQ(report(session, "transfer", R"({"state":"transfer","file":[
        {"name":"a.txt","size":10,"url":"http://h/a"},{"name":"b.txt","size":20,"url":"http://h/b"}]})"),
              "transfer");
    ASSERT_EQ(session.remoteFiles().size(), 2u);
    EXPECT_TRUE(session.remoteFiles()[0].completed);
    EXPECT_TRUE(session.remoteFiles()[1].completed);
    // The relay flag is never cleared again.
    EXPECT_TRUE(session.isRelay());
}

TEST_F(SessionFixture, UrlWithoutPlaceholderDoesNotMarkRelay)
{
    TransferInfo session(false);
    report(session, "transfer", R"({"state":"transfer","file":[{"name":"a","size":1,"url":"http://h:1/a"}]})");
    EXPECT_FALSE(session.isRelay());
    EXPECT_EQ(session.remoteFiles()[0].url, "http://h:1/a");
}

TEST_F(SessionFixture, ChannelFollowsPassiveAndParallelFlags)
{
    struct Case {
        const char* reply;
        int kind;  // 0 active, 1 active multi, 2 passive, 3 passive multi
    };
    const Case cases[] = {
        {R"({"state":"transfer","passive":false,"parallel_transfer":false,"file":[{"name":"a","url":"u"}]})", 0},
        {R"({"state":"transfer","passive":false,"parallel_transfer":true,"file":[{"name":"a","url":"u"}]})", 1},
        {R"({"state":"transfer","passive":true,"parallel_transfer":false,"file":[{"name":"a","url":"u"}]})", 2},
        {R"({"state":"transfer","passive":true,"parallel_transfer":true,"file":[{"name":"a","url":"u"}]})", 3},
    };
    for (const auto& c : cases) {
        TransferInfo session(false);
        session.setTransferSpeedLimit(777);
        report(session, "transfer", c.reply);
        Transfer* channel = session.channel();
        ASSERT_NE(channel, nullptr) << c.reply;
        EXPECT_EQ(channel->speedLimit(), 777u);
        switch (c.kind) {
        case 0: EXPECT_NE(dynamic_cast<ActiveHttp*>(channel), nullptr) << c.reply; break;
        case 1: EXPECT_NE(dynamic_cast<ActiveMultiHttp*>(channel), nullptr) << c.reply; break;
        case 2: EXPECT_NE(dynamic_cast<PassiveHttp*>(channel), nullptr) << c.reply; break;
        case 3: EXPECT_NE(dynamic_cast<PassiveMultiHttp*>(channel), nullptr) << c.reply; break;
        }
    }
}

TEST_F(SessionFixture, NewTransferReplyReplacesChannelAndFailReleasesIt)
{
    TransferInfo session(false);
    report(session, "transfer", R"({"state":"transfer","file":[{"name":"a","url":"u"}]})");
    Transfer* first = session.channel();
    ASSERT_NE(first, nullptr);
    report(session, "transfer", R"({"state":"transfer"})");
    EXPECT_NE(session.channel(), nullptr);
    // A reply without "file" keeps the list.
    EXPECT_EQ(session.remoteFiles().size(), 1u);
    report(session, "transfer", R"({"state":"fail"})");
    EXPECT_EQ(session.channel(), nullptr);
}

TEST_F(SessionFixture, PeerFailedOnlyWhenTheFailureIsNotOurOwnEcho)
{
    TransferInfo echo(false);
    EXPECT_EQ(report(echo, "fail", R"({"state":"fail"})"), "fail");
    EXPECT_FALSE(echo.isPeerFailed());
    TransferInfo peer(false);
    EXPECT_EQ(report(peer, "transfer", R"({"state":"fail","no_retry":true})"), "fail");
    EXPECT_TRUE(peer.isPeerFailed());
    EXPECT_FALSE(peer.isRetryAllowed());
}

TEST_F(SessionFixture, ServerErrorsAreRetriedAndBecomeFail)
{
    TransferInfo session(false);
    server.answerSequence("/file/v1/recv", {{503, ""}, {200, R"({"state":"transfer"})"}});
    session.setAuthorization(token);
    EXPECT_EQ(session.update(path, L"1", "transfer", {}), "transfer");
    EXPECT_EQ(server.count("/file/v1/recv"), 2u);

    server.clearRequests();
    server.answer("/file/v1/recv", {404, ""});
    EXPECT_EQ(session.update(path, L"1", "transfer", {}), "fail");
    EXPECT_EQ(server.count("/file/v1/recv"), 1u);

    TransferInfo cancelled(false);
    cancelled.cancel();
    server.clearRequests();
    cancelled.setAuthorization(token);
    EXPECT_EQ(cancelled.update(path, L"1", "transfer", {}), "fail");
    EXPECT_EQ(server.count("/file/v1/recv"), 0u);
    // The "cancel" report still goes out, once.
    server.answer("/file/v1/recv", {503, ""});
    EXPECT_EQ(cancelled.update(path, L"1", "cancel", {}), "fail");
    EXPECT_EQ(server.count("/file/v1/recv"), 1u);
}

TEST(TransferInfo, BlackListKeepsOneEntryPerHostAndPort)
{
    TransferInfo session(false);
    session.addBlackList("http://a:80/x");
    session.addBlackList("http://a:80/y");
    session.addBlackList("http://a/z");
    session.addBlackList("not a url at all");
    const std::set<std::string> expected = {"a", "a:80"};
    EXPECT_EQ(session.blackList(), expected);
}

TEST(TransferInfo, TransferUrlFromPathWithoutPort)
{
    TransferInfo session(false);
    EXPECT_EQ(session.getTransferURL("https://files.example/file/v1/send", "http://{SERVER_IP}/r/{SERVER_IP}"),
              "http://files.example/r/files.example");
    EXPECT_EQ(session.getTransferURL("::not a uri", "http://{SERVER_IP}/r"), "http://{SERVER_IP}/r");
}

TEST(TransferTask, RoundFileSize)
{
    EXPECT_EQ(roundFileSize(1234), 1000);
    EXPECT_EQ(roundFileSize(1500), 2000);
    EXPECT_EQ(roundFileSize(87), 90);
    EXPECT_EQ(roundFileSize(5), 5);
}

}  // namespace
