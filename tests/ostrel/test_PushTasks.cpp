#include "ostrel/Base64Util.h"
#include "ostrel/PushKeyTask.h"
#include "ostrel/PushListenerTask.h"
#include "ostrel/QueryPushKeyTask.h"
#include "ostrel/ReplyPushKeyTask.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TaskTestUtil.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::HttpDouble;
using Paths = std::vector<std::string>;

namespace {

const EventList kSuccess = {{1, 257}};

struct Notification {
    int detail;
    std::wstring key;
    std::string peer;
};

// Copies what each NOTIFICATION event points at while the callback runs, as a real owner must.
class NotificationRecorder {
public:
    void attach(PushListenerTask& task)
    {
        task.setCallback([this](int state, int detail, const void* data) {
            events.add(state, detail);
            if (state != 100)
                return;
            std::lock_guard<std::mutex> lock(mutex_);
            if (detail == PushListenerTask::NOTIFICATION_PEER_RECEIVE_COMPLETEED) {
                const auto* info = static_cast<const PushListenerTask::ReceivedPeerInfo*>(data);
                list_.push_back({detail, info->key, info->peerDeviceId});
            } else {
                list_.push_back({detail, *static_cast<const std::wstring*>(data), ""});
            }
        });
    }
    std::vector<Notification> list() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return list_;
    }
    EventRecorder events;

private:
    mutable std::mutex mutex_;
    std::vector<Notification> list_;
};

class PushDouble : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning());
        option.api = server.url("/api/v1/");
        option.push = server.url("/push/v1/");
        scriptAuthentication(server);
        signedInDevice(token);
    }

    EventList run(BaseTask& task)
    {
        EventRecorder recorder;
        runTask(task, token, option, recorder);
        return recorder.outcome();
    }

    void startListener(PushListenerTask& task, NotificationRecorder& recorder)
    {
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&option);
        recorder.attach(task);
        task.start();
    }

    HttpDouble server;
    TestOption option;
    AuthTokenValue token;
};

}  // namespace

TEST_F(PushDouble, PushWithoutCommentOrPictureSendsOnlyTheTaskTime)
{
    LogCapture log;
    server.answer("/api/v1/key/push/12+34/dev-9", {200, R"({"received_device_id":"dev-9"})"});
    PushKeyTask task(L"12 34", "dev-9", L"", "");
    EXPECT_EQ(run(task), kSuccess);
    const auto requests = server.requests("/api/v1/key/push/12+34/dev-9");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(parse(requests[0].body).getMemberNames(), std::vector<std::string>{"task_time"});
    // The blank of the key travels as "+".
    EXPECT_TRUE(log.contains(server.url("/api/v1/key/push/12+34/dev-9")));
    EXPECT_EQ(boost::any_cast<PushKeyTask::PushResult>(task.getValue(256)), PushKeyTask::PUSH_NO_ANSWER);
}

TEST_F(PushDouble, PushCarriesCommentAndPicture)
{
    server.answer("/api/v1/key/push/777/dev-9", {200, R"({"received_device_id":"dev-9"})"});
    const unsigned char picture[] = {'a', 'b', 'c', 'd'};
    PushKeyTask task(L"777", "dev-9", L"f\u00fcr dich", picture, sizeof picture);
    EXPECT_EQ(run(task), kSuccess);
    const Json::Value body = parse(server.requests("/api/v1/key/push/777/dev-9")[0].body);
    EXPECT_EQ(body["comment"].asString(), "f\xC3\xBCr dich");
    EXPECT_EQ(body["thumbnail"].asString(), "YWJjZA");
}

TEST_F(PushDouble, PushThatNoDeviceReceivedFails)
{
    server.answer("/api/v1/key/push/777/dev-9", {200, "{}"});
    PushKeyTask task(L"777", "dev-9", L"", "");
    EXPECT_EQ(run(task), (EventList{{2, 522}, {1, 259}}));
    EXPECT_EQ(task.stateToString(522), "ERROR_SEND_KEY_FAILED");
}

TEST_F(PushDouble, QueryReadsTheKeyInfoAndPrefersTheInlineThumbnail)
{
    server.answer("/api/v1/key/push/query/555", {200, "{\"key\":\"555\",\"expires_time\":1700000600,\"file_number\":3,"
                                                      "\"file_size\":5000000000,\"comment\":\"hi \xE2\x98\xBA\","
                                                      "\"thumbnail\":\"YWJj\",\"thumbnail_url\":\"" +
                                                          server.url("/thumb/555") +
                                                          "\",\"sent_time\":1700000000,\"device_id\":\"dev-3\","
                                                          "\"device_name\":\"desk\",\"profile_name\":\"Desk\","
                                                          "\"os_type\":\"linux\"}"});
    server.answer("/thumb/555", {200, "downloaded"});
    QueryPushKeyTask task(L"555");
    EXPECT_EQ(run(task), kSuccess);
    const auto info = boost::any_cast<QueryPushKeyTask::KeyInfo>(task.getValue(256));
    EXPECT_EQ(info.key, L"555");
    EXPECT_EQ(info.expiresTime, 1700000600);
    EXPECT_EQ(info.fileNumber, 3);
    EXPECT_EQ(info.fileSize, 5000000000ULL);
    EXPECT_EQ(info.comment, L"hi \u263a");
    EXPECT_EQ(std::string(info.thumbnail.begin(), info.thumbnail.end()), "abc");
    EXPECT_EQ(info.sentTime, 1700000000);
    EXPECT_EQ(info.deviceId, "dev-3");
    EXPECT_EQ(info.deviceName, "desk");
    EXPECT_EQ(info.profileName, L"Desk");
    EXPECT_EQ(info.osType, "linux");
    EXPECT_EQ(server.count("/thumb/555"), 0u);
}

TEST_F(PushDouble, QueryDownloadsTheThumbnailWhenNoneIsInline)
{
    server.answer("/api/v1/key/push/query/556", {200, "{\"thumbnail_url\":\"" + server.url("/thumb/556") + "\"}"});
    server.answer("/thumb/556", {200, "downloaded"});
    QueryPushKeyTask task(L"556");
    EXPECT_EQ(run(task), kSuccess);
    const auto info = boost::any_cast<QueryPushKeyTask::KeyInfo>(task.getValue(256));
    EXPECT_EQ(std::string(info.thumbnail.begin(), info.thumbnail.end()), "downloaded");
    EXPECT_EQ(info.fileNumber, 0);
}

TEST_F(PushDouble, QueryOfAnUnknownKeyNamesIt)
{
    server.answer("/api/v1/key/push/query/404404", {404, ""});
    QueryPushKeyTask task(L"404404");
    EXPECT_EQ(run(task), (EventList{{2, 522}, {1, 259}}));
    EXPECT_EQ(task.stateToString(522), "ERROR_NO_EXIST_KEY");
}

TEST_F(PushDouble, ReplySaysAcceptOrIgnore)
{
    server.answer("/api/v1/key/push/reply/321", {200, "{}"});
    for (bool accept : {true, false}) {
        server.clearRequests();
        ReplyPushKeyTask task(L"321", accept);
        EXPECT_EQ(run(task), kSuccess);
        const auto requests = server.requests("/api/v1/key/push/reply/321");
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(parse(requests[0].body)["status"].asString(), accept ? "accept" : "ignore");
    }
}

TEST_F(PushDouble, FetchTurnsEveryActionIntoItsNotification)
{
    server.answer("/push/v1/get", {200, R"([
        {"key":"k1","action":"upload"},
        {"key":"k2","action":"download"},
        {"key":"k3","action":"peer_recv_completed","peer_device_id":"dev-7"},
        {"key":"k4","action":"peer_recv_completed"},
        {"key":"k5","action":"recv_key"},
        {"key":"k6","action":"something_else"},
        {"key":"k7"},
        {"action":"recv_key"}
    ])"});
    PushListenerTask task(false);
    NotificationRecorder recorder;
    startListener(task, recorder);
    task.wait();

    EXPECT_EQ(recorder.events.outcome(), kSuccess);
    const auto list = recorder.list();
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[0].detail, 25611);
    EXPECT_EQ(list[0].key, L"k1");
    EXPECT_EQ(list[1].detail, 25612);
    EXPECT_EQ(list[1].key, L"k2");
    EXPECT_EQ(list[2].detail, 25614);
    EXPECT_EQ(list[2].key, L"k3");
    EXPECT_EQ(list[2].peer, "dev-7");
    EXPECT_EQ(list[3].detail, 25614);
    EXPECT_EQ(list[3].peer, "null");
    EXPECT_EQ(list[4].detail, 25610);
    EXPECT_EQ(list[4].key, L"k5");
    EXPECT_EQ(list[5].detail, 25610);
    EXPECT_EQ(list[5].key, L"");

    // The push service sees the device's token but neither the API key nor a task time.
    const auto gets = server.requests("/push/v1/get");
    ASSERT_EQ(gets.size(), 1u);
    EXPECT_EQ(gets[0].method, "POST");
    EXPECT_EQ(gets[0].body, "");
    EXPECT_EQ(gets[0].header("Authorization"), "Bearer device-token");
    EXPECT_FALSE(gets[0].hasHeader("Ostrel-Key"));
    EXPECT_EQ(task.stateToString(25614), "NOTIFICATION_PEER_RECEIVE_COMPLETEED");
    EXPECT_EQ(task.stateToString(100), "NOTIFICATION");
}

TEST_F(PushDouble, WakeUpKeyIsRealtimeAndIdleCyclesNeedNoFetch)
{
    server.answerSequence("/push/v1/get", {{200, "[]"},
                                           {200, R"([{"key":"k1","action":"recv_key"},{"key":"k2","action":"recv_key"}])"},
                                           {200, "[]"}});
    // Wake-up for k2, then the service's own time-out, then a poll that stays open.
    server.answerSequence("/push/v1/sub", {{200, R"({"key":"k2"})"}, {504, ""}, {200, "{}", 20000}});
    PushListenerTask task(true);
    NotificationRecorder recorder;
    startListener(task, recorder);
    ASSERT_TRUE(server.waitForRequests(5, 5000));
    EXPECT_TRUE(recorder.events.waitFor(25613, 2000));

    const auto begin = std::chrono::steady_clock::now();
    task.cancel();
    task.wait();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1500));
    EXPECT_EQ(recorder.events.outcome(), (EventList{{1, 258}}));

    const auto list = recorder.list();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].key, L"k1");
    EXPECT_EQ(list[0].detail, 25610);
    EXPECT_EQ(list[1].key, L"k2");
    EXPECT_EQ(list[1].detail, 25613);
    EXPECT_EQ(apiPaths(server), (Paths{"/push/v1/get", "/push/v1/sub", "/push/v1/get", "/push/v1/sub", "/push/v1/sub"}));
    for (const auto& r : server.requests("/push/v1/sub")) {
        EXPECT_EQ(r.body, "");
        EXPECT_FALSE(r.hasHeader("Ostrel-Key"));
    }
}

TEST_F(PushDouble, RejectedWaitRenewsTheTokenAndOtherClientErrorsEndTheListener)
{
    server.answer("/push/v1/get", {200, "[]"});
    server.answerSequence("/push/v1/sub", {{401, ""}, {403, ""}});
    PushListenerTask task(true);
    NotificationRecorder recorder;
    startListener(task, recorder);
    task.wait();
    EXPECT_EQ(recorder.events.outcome(), (EventList{{2, 513}, {1, 259}}));
    EXPECT_EQ(apiPaths(server), (Paths{"/push/v1/get", "/push/v1/sub", "auth/device", "device/update", "/push/v1/get",
                                       "/push/v1/sub"}));
    EXPECT_EQ(server.requests("/push/v1/sub")[1].header("Authorization"), "Bearer device-token");
}

TEST_F(PushDouble, FailingFirstFetchEndsTheListener)
{
    server.answer("/push/v1/get", {404, ""});
    PushListenerTask task(true);
    NotificationRecorder recorder;
    startListener(task, recorder);
    task.wait();
    EXPECT_EQ(recorder.events.outcome(), (EventList{{1, 259}}));
    EXPECT_EQ(server.count("/push/v1/sub"), 0u);
}

TEST_F(PushDouble, TransportTroubleBacksOffAndCancelEndsTheWaitPromptly)
{
    LogCapture log;
    server.answer("/push/v1/get", {200, "[]"});
    server.answer("/push/v1/sub", {500, ""});
    PushListenerTask task(true);
    NotificationRecorder recorder;
    startListener(task, recorder);
    ASSERT_TRUE(server.waitForRequests(2, 5000));
    for (int i = 0; i < 50 && !log.contains("push listener error\n"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(log.contains("push listener error\n"));

    const auto begin = std::chrono::steady_clock::now();
    task.cancel();
    task.wait();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1500));
    EXPECT_EQ(recorder.events.outcome(), (EventList{{1, 258}}));
    // The back-off was cut short: no fetch and no further wait followed.
    EXPECT_EQ(server.count("/push/v1/sub"), 1u);
    EXPECT_EQ(server.count("/push/v1/get"), 1u);
}

TEST_F(PushDouble, PayloadsStayValidWhileASlowOwnerLagsBehind)
{
    server.answerSequence("/push/v1/get", {{200, R"([{"key":"first-key-with-a-long-name","action":"recv_key"},
                                                     {"key":"second-key-with-a-long-name","action":"upload"}])"},
                                           {200, R"([{"key":"third-key-with-a-long-name","action":"download"}])"},
                                           {200, "[]"}});
    server.answerSequence("/push/v1/sub", {{200, R"({"key":"x"})"}, {200, "{}", 20000}});
    PushListenerTask task(true);
    std::mutex mutex;
    std::vector<std::wstring> keys;
    useTestApiKey();
    task.setAuthTokenValue(&token);
    task.setOptionValues(&option);
    task.setCallback([&](int state, int, const void* data) {
        if (state != 100)
            return;
        // Slow enough that the worker fetches again while earlier payloads are still queued.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        std::lock_guard<std::mutex> lock(mutex);
        keys.push_back(*static_cast<const std::wstring*>(data));
    });
    task.start();
    for (int i = 0; i < 100; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (keys.size() == 3)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    task.cancel();
    task.wait();
    EXPECT_EQ(keys, (std::vector<std::wstring>{L"first-key-with-a-long-name", L"second-key-with-a-long-name",
                                               L"third-key-with-a-long-name"}));
}
