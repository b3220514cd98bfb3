#include "ostrel/BaseInfo.h"
#include "ostrel/BaseTask.h"
#include "ostrel/Defaults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "TaskProbe.h"
#include "support/FreePort.h"
#include "support/HttpDouble.h"

using namespace Ostrel;
using namespace std::chrono;
using TestSupport::HttpAnswer;
using TestSupport::HttpDouble;
using Codes = std::vector<std::pair<int, int>>;

namespace {

class TaskTest : public ::testing::Test {
protected:
    void SetUp() override { BaseTask::setApiKey(Defaults::kApiKey); }
    void TearDown() override
    {
        BaseTask::setApiKey(Defaults::kApiKey);
        Ostrel::setAnalyticsCallback(nullptr);
        Ostrel::setFLAnalyticsCallback(nullptr);
    }
};

struct FixedOption : BaseTask::Option {
    explicit FixedOption(std::string server) : server_(std::move(server)) {}
    std::string getApiServer() override { return server_; }
    std::string server_;
};

struct ProxyOption : FixedOption {
    using FixedOption::FixedOption;
    bool isUsingProxyServer() override { return true; }
    std::string getProxyUserId() override { return "puser"; }
    std::string getProxyPassword() override { return "ppass"; }
};

// A task that makes one request to `url` through the retry rule.
std::unique_ptr<ProbeTask> requestTask(const std::string& url, EventLog& log)
{
    auto task = std::make_unique<ProbeTask>();
    task->work = [url](ProbeTask& t) {
        Json::Value request(Json::objectValue), response;
        return t.getServerData(url, request, response);
    };
    task->setCallback(log.callback());
    return task;
}

long long msBetween(steady_clock::time_point a, steady_clock::time_point b)
{
    return duration_cast<milliseconds>(b - a).count();
}

}  // namespace

TEST_F(TaskTest, StateNames)
{
    ProbeTask task;
    struct Case { int code; const char* name; };
    for (const Case& c : std::vector<Case>{{1, "FINISHED"}, {2, "ERROR"}, {257, "FINISHED_SUCCESS"},
                                           {258, "FINISHED_CANCEL"}, {259, "FINISHED_ERROR"},
                                           {513, "ERROR_WRONG_API_KEY"}, {514, "ERROR_SERVER_WRONG_PROTOCOL"},
                                           {515, "ERROR_SERVER_NETWORK"}, {516, "ERROR_PROXY_AUTHENTICATION"},
                                           {10, "UNKNOWN"}, {0, "UNKNOWN"}, {-1, "UNKNOWN"}, {517, "UNKNOWN"}})
        EXPECT_EQ(task.stateToString(c.code), c.name) << c.code;
    EXPECT_TRUE(task.getValue(256).empty());
    EXPECT_EQ(task.getValuePtr(256), nullptr);
    EXPECT_FALSE(task.isRequiredLogin());
}

TEST_F(TaskTest, MissingApiKeyMakesNoRequest)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    BaseTask::setApiKey("");
    EventLog log;
    auto task = requestTask(server.url("/x"), log);
    task->start();
    task->wait();
    EXPECT_EQ(log.codes(), (Codes{{2, 513}, {1, 259}}));
    EXPECT_TRUE(server.requests().empty());
    EXPECT_FALSE(task->isRunning());
}

TEST_F(TaskTest, RetryRuleAndErrorDetails)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    const std::string refused = "http://127.0.0.1:" + std::to_string(TestSupport::freePort()) + "/none";
    struct Case {
        std::string name;
        std::vector<HttpAnswer> answers;  // empty: nothing listens
        std::size_t attempts;
        Codes events;
    };
    const std::vector<Case> cases = {
        {"ok", {{200, "{}"}}, 1, {{1, 257}}},
        {"created", {{201, "{}"}}, 1, {{1, 259}}},  // only 200 counts as success
        {"notFound", {{404, "{}"}}, 1, {{1, 259}}},
        {"conflict", {{409, ""}}, 1, {{1, 259}}},
        {"busyThenOk", {{503, ""}, {200, "{}"}}, 2, {{1, 257}}},
        {"busy", {{503, ""}}, 3, {{2, 515}, {1, 259}}},
        {"notJson", {{200, "<html>"}}, 3, {{2, 514}, {1, 259}}},
        {"proxy", {{407, ""}}, 3, {{2, 516}, {1, 259}}},
        {"refused", {}, 0, {{2, 515}, {1, 259}}},
    };
    for (const Case& c : cases) {
        const std::string path = "/api/v1/" + c.name;
        if (!c.answers.empty())
            server.answerSequence(path, c.answers);
        EventLog log;
        auto task = requestTask(c.answers.empty() ? refused : server.url(path), log);
        task->start();
        task->wait();
        EXPECT_EQ(log.codes(), c.events) << c.name;
        const auto requests = server.requests(path);
        EXPECT_EQ(requests.size(), c.attempts) << c.name;
        if (c.name == "busy" && requests.size() == 3) {
            const long long first = requests[1].receivedMs - requests[0].receivedMs;
            const long long second = requests[2].receivedMs - requests[1].receivedMs;
            EXPECT_GE(first, 950);
            EXPECT_LT(first, 1600);
            EXPECT_GE(second, 1950);
            EXPECT_LT(second, 2600);
        }
    }
}

TEST_F(TaskTest, CancelDuringRetryWaitEndsQuicklyWithoutError)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/busy", {503, ""});
    EventLog log;
    LogCapture lines;
    auto task = requestTask(server.url("/busy"), log);
    task->start();
    ASSERT_TRUE(server.waitForRequests(2, 5000));
    std::this_thread::sleep_for(milliseconds(300));  // inside the 2 s wait before the third attempt
    const auto cancelledAt = steady_clock::now();
    task->cancel();
    ASSERT_TRUE(log.waitForState(1, 3000));
    task->wait();
    EXPECT_EQ(log.codes(), (Codes{{1, 258}}));
    EXPECT_LT(msBetween(cancelledAt, log.entries().back().at), 1000);
    EXPECT_EQ(server.count("/busy"), 2u);
    EXPECT_EQ(lines.countStartingWith("Call cancel()\n"), 1u);
}

TEST_F(TaskTest, CancelDuringASlowRequestEndsWithCancel)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/slow", {200, "{}", 10000});
    EventLog log;
    auto task = requestTask(server.url("/slow"), log);
    task->start();
    ASSERT_TRUE(server.waitForRequests(1, 5000));
    const auto cancelledAt = steady_clock::now();
    task->cancel();
    task->wait();
    EXPECT_LT(msBetween(cancelledAt, steady_clock::now()), 2000);
    EXPECT_EQ(log.codes(), (Codes{{1, 258}}));
    EXPECT_EQ(server.count("/slow"), 1u);
}

TEST_F(TaskTest, CancelOfAnIdleTaskDoesNothing)
{
    LogCapture lines;
    ProbeTask task;
    task.cancel();
    EXPECT_TRUE(lines.lines().empty());
    EXPECT_FALSE(task.isRunning());
    EXPECT_FALSE(task.isCancelled());
}

TEST_F(TaskTest, EventsArriveInOrderWithExactlyOneFinishedLast)
{
    EventLog log;
    ProbeTask task;
    task.work = [](ProbeTask& t) {
        for (int i = 0; i < 50; ++i)
            t.progress(100, 25600 + i);
        return 200;
    };
    task.setCallback(log.callback());
    task.start();
    task.wait();
    const Codes codes = log.codes();
    ASSERT_EQ(codes.size(), 51u);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(codes[i], std::make_pair(100, 25600 + i));
    EXPECT_EQ(codes.back(), std::make_pair(1, 257));
}

TEST_F(TaskTest, SlowConsumerHoldsTheWorkerBackAndStillGetsTheFinalEvent)
{
    EventLog log;
    ProbeTask task;
    std::atomic<long long> secondPostMs{0};
    task.work = [&](ProbeTask& t) {
        t.progress(10, 2561);
        std::this_thread::sleep_for(milliseconds(50));  // the event thread is now in the slow callback
        const auto before = steady_clock::now();
        t.progress(10, 2562);
        secondPostMs = msBetween(before, steady_clock::now());
        return 200;  // FINISHED is posted while 2562 is still being delivered
    };
    task.setCallback(log.callback([](int state, int) {
        if (state == 10)
            std::this_thread::sleep_for(milliseconds(300));
    }));
    task.start();
    task.wait();
    EXPECT_EQ(log.codes(), (Codes{{10, 2561}, {10, 2562}, {1, 257}}));
    EXPECT_GE(secondPostMs.load(), 150);  // progress waited for the callback holding the queue lock
}

TEST_F(TaskTest, ThrowingCallbackDoesNotStopDelivery)
{
    EventLog log;
    ProbeTask task;
    task.work = [](ProbeTask& t) {
        t.progress(10, 2561);
        return 200;
    };
    task.setCallback(log.callback([](int state, int) {
        if (state == 10)
            throw std::runtime_error("consumer bug");
    }));
    task.start();
    task.wait();
    EXPECT_EQ(log.codes(), (Codes{{1, 257}}));
}

TEST_F(TaskTest, StartingARunningTaskDoesNothing)
{
    EventLog log;
    ProbeTask task;
    std::atomic<int> calls{0};
    std::atomic<bool> release{false};
    task.work = [&](ProbeTask&) {
        ++calls;
        while (!release)
            std::this_thread::sleep_for(milliseconds(5));
        return 200;
    };
    task.setCallback(log.callback());
    task.start();
    while (calls == 0)
        std::this_thread::sleep_for(milliseconds(5));
    const auto stamp = task.startTime();
    task.start();
    task.start();
    EXPECT_EQ(task.startTime(), stamp);
    EXPECT_TRUE(task.isRunning());
    release = true;
    task.wait();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(log.codes(), (Codes{{1, 257}}));
    EXPECT_FALSE(task.isRunning());
}

TEST_F(TaskTest, AFinishedTaskCanRunAgain)
{
    EventLog log;
    ProbeTask task;
    task.setCallback(log.callback());
    for (int run = 0; run < 3; ++run) {
        task.start();
        task.wait();
    }
    EXPECT_EQ(log.codes(), (Codes{{1, 257}, {1, 257}, {1, 257}}));
}

TEST_F(TaskTest, FinishedTaskReturnsFromWaitPromptly)
{
    ProbeTask task;
    const auto begin = steady_clock::now();
    task.start();
    task.wait();
    EXPECT_LT(msBetween(begin, steady_clock::now()), 1000);  // the event thread does not sleep out its 5 s
}

namespace {
// No destructor of its own: only the base class stands between a forgotten wait and a crash.
struct BareTask : BaseTask {
    std::string url;
    int updateServer() override
    {
        if (url.empty())
            return 200;
        Json::Value request(Json::objectValue), response;
        return getServerData(url, request, response);
    }
    std::string getAnalyticsCategory() override { return "task_bare"; }
};
}  // namespace

TEST_F(TaskTest, DestroyingAStartedTaskWithoutWaitIsSafe)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/slow", {200, "{}", 10000});
    EventLog log;
    const auto begin = steady_clock::now();
    {
        BareTask busy;
        busy.url = server.url("/slow");
        busy.setCallback(log.callback());
        busy.start();
        ASSERT_TRUE(server.waitForRequests(1, 5000));
    }
    EXPECT_LT(msBetween(begin, steady_clock::now()), 4000);
    EXPECT_EQ(log.codes(), (Codes{{1, 258}}));  // the destructor cancelled the run and let it finish

    EventLog finishedLog;
    {
        BareTask finished;  // both threads done or nearly done, still joinable
        finished.setCallback(finishedLog.callback());
        finished.start();
        ASSERT_TRUE(finishedLog.waitForState(1, 3000));
    }
    EXPECT_EQ(finishedLog.codes(), (Codes{{1, 257}}));
}

TEST_F(TaskTest, ApiPathsAndOptions)
{
    ProbeTask task;
    EXPECT_EQ(task.getApiPath("key/push"), std::string(Defaults::kApiUrl) + "key/push");
    FixedOption empty("");
    task.setOptionValues(&empty);
    EXPECT_EQ(task.getApiPath("key/push"), std::string(Defaults::kApiUrl) + "key/push");
    FixedOption custom("http://127.0.0.1:9/api/v2/");
    task.setOptionValues(&custom);
    struct Case { std::string got; std::string want; };
    for (const Case& c : std::vector<Case>{
             {task.getApiPath("device/create"), "http://127.0.0.1:9/api/v2/device/create"},
             {task.getApiPath("friend/search", "a b"), "http://127.0.0.1:9/api/v2/friend/search/a b"},
             {task.getApiPath("x", "1", "%2F"), "http://127.0.0.1:9/api/v2/x/1/%2F"}})
        EXPECT_EQ(c.got, c.want);
    task.setOptionValues(&empty);  // an empty value keeps what is there
    EXPECT_EQ(task.getApiPath("y"), "http://127.0.0.1:9/api/v2/y");
    task.setOptionValues(nullptr);
}

TEST_F(TaskTest, OptionInterfacesCanBeInheritedVirtually)
{
    struct LevelOne : virtual BaseTask::Option {
        virtual std::string getPushId() = 0;
    };
    struct LevelTwo : virtual LevelOne {
        virtual bool isUsingParallelTransfer() = 0;
    };
    struct AppOption : virtual BaseTask::Option, virtual LevelOne, virtual LevelTwo {
        std::string getApiServer() override { return "http://127.0.0.1:1/"; }
        std::string getPushId() override { return "push"; }
        bool isUsingParallelTransfer() override { return true; }
    };
    AppOption app;
    BaseTask::Option* base = &app;
    ASSERT_NE(dynamic_cast<LevelTwo*>(base), nullptr);
    EXPECT_EQ(dynamic_cast<LevelOne*>(base)->getPushId(), "push");
    ProbeTask task;
    task.setOptionValues(base);
    EXPECT_EQ(task.getApiPath("a"), "http://127.0.0.1:1/a");
}

TEST_F(TaskTest, RequestCarriesKeyTaskTimeInfosAndProxyValues)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/api/v1/device/update", {200, R"({"r":1})"});
    struct NamedInfo : BaseInfo {
        NamedInfo(const char* k, const char* v) : key(k), value(v) {}
        void toJson(Json::Value& request) const override
        {
            request["os_type"] = osType;
            request[key] = value;
        }
        std::string key, value;
    };
    const NamedInfo first("first", "1"), second("second", "2");
    EventLog log;
    ProbeTask task;
    ProxyOption option(server.url("/api/v1/"));
    task.setOptionValues(&option);
    Json::Value response;
    task.work = [&](ProbeTask& t) {
        Json::Value request(Json::objectValue);
        request["own"] = "x";
        return t.getServerData(t.getApiPath("device/update"), request, {&first, &second}, response);
    };
    task.setCallback(log.callback());
    const auto before = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    task.start();
    task.wait();
    EXPECT_EQ(log.codes(), (Codes{{1, 257}}));
    EXPECT_EQ(response["r"].asInt(), 1);
    const auto requests = server.requests("/api/v1/device/update");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].header("Ostrel-Key"), Defaults::kApiKey);
    const std::string stamp = std::to_string(task.startTime());
    EXPECT_GE(task.startTime(), before);
    EXPECT_EQ(requests[0].body,
              "{\"first\":\"1\",\"os_type\":\"linux\",\"own\":\"x\",\"second\":\"2\",\"task_time\":" + stamp + "}\n");
    EXPECT_TRUE(task.serverInfo_.useProxy);
    EXPECT_EQ(task.serverInfo_.proxyUserId, "puser");
    EXPECT_EQ(task.serverInfo_.proxyPassword, "ppass");
    EXPECT_EQ(task.serverInfo_.apiKey, Defaults::kApiKey);
}

TEST_F(TaskTest, AnalyticsOnlyForErrors)
{
    struct Hit { std::string category, action, label; long long value; };
    std::mutex mutex;
    std::vector<Hit> hits;
    std::vector<std::pair<std::string, std::map<std::string, std::string>>> flHits;
    Ostrel::setAnalyticsCallback([&](const char* c, const char* a, const char* l, long long v) {
        std::lock_guard<std::mutex> lock(mutex);
        hits.push_back({c, a, l, v});
    });
    Ostrel::setFLAnalyticsCallback([&](const char* name, const std::map<std::string, std::string>& values) {
        std::lock_guard<std::mutex> lock(mutex);
        flHits.emplace_back(name, values);
    });
    ProbeTask task;
    struct Case { int state; int detail; std::string label; };
    const std::vector<Case> cases = {
        {2, 516, "error_proxy_authentication"},
        {2, 515, "error_server_network"},
        {2, 999, "unknown"},
        {1, 257, ""},
        {1, 259, ""},
        {10, 2561, ""},
        {100, 25601, ""},
    };
    for (const Case& c : cases) {
        hits.clear();
        flHits.clear();
        task.analyticsEvent(c.state, c.detail);
        if (c.label.empty()) {
            EXPECT_TRUE(hits.empty()) << c.state;
            EXPECT_TRUE(flHits.empty()) << c.state;
            continue;
        }
        ASSERT_EQ(hits.size(), 1u);
        EXPECT_EQ(hits[0].category, "task_probe");
        EXPECT_EQ(hits[0].action, "task_error");
        EXPECT_EQ(hits[0].label, c.label);
        EXPECT_EQ(hits[0].value, 0);
        ASSERT_EQ(flHits.size(), 1u);
        EXPECT_EQ(flHits[0].first, "task_probe");
        EXPECT_EQ(flHits[0].second, (std::map<std::string, std::string>{{"error", c.label}}));
    }

    // Through a real run, without any callback installed: analytics still happens.
    hits.clear();
    BaseTask::setApiKey("");
    ProbeTask failing;
    failing.start();
    failing.wait();
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].label, "error_wrong_api_key");
}

TEST_F(TaskTest, LiveTaskCount)
{
    const int before = BaseTask::liveTaskCount();
    {
        ProbeTask a, b;
        EXPECT_EQ(BaseTask::liveTaskCount(), before + 2);
    }
    EXPECT_EQ(BaseTask::liveTaskCount(), before);
}

TEST_F(TaskTest, SleepEndsEarlyOnCancel)
{
    ProbeTask task;
    std::atomic<long long> slept{-1};
    task.work = [&](ProbeTask& t) {
        const auto begin = steady_clock::now();
        t.sleep(10);
        slept = msBetween(begin, steady_clock::now());
        return 200;
    };
    task.start();
    std::this_thread::sleep_for(milliseconds(200));
    task.cancel();
    task.wait();
    EXPECT_GE(slept.load(), 150);
    EXPECT_LT(slept.load(), 1200);
}
