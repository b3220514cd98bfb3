#include "ostrel/AuthTokenValue.h"
#include "ostrel/ServerInfo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "LogCapture.h"
#include "support/FreePort.h"
#include "support/HttpDouble.h"

using namespace Ostrel;
using TestSupport::HttpAnswer;
using TestSupport::HttpDouble;
using TestSupport::HttpRecord;

namespace {

std::vector<std::string> headerNames(const HttpRecord& record)
{
    std::vector<std::string> names;
    for (const auto& h : record.headers)
        names.push_back(h.first);
    return names;
}

// Sets a proxy variable for the scope of a test; libcurl reads it on each request.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_)
            ::setenv(name_, old_.c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

}  // namespace

TEST(ServerInfo, SendsHeadersInFixedOrderAndCompactBody)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/api/v1/key/push", {200, R"({"ok":1})"});

    AuthTokenValue token;
    token.authToken = "tok";
    ServerInfo info;
    info.apiKey = "0123456789abcdef0123456789abcdef";
    info.authTokenValue = &token;
    info.taskTime = 1700000000123;
    info.extraHeaders = {{"Zeta", "z"}, {"Alpha", "a"}, {"Mid", "m"}};

    Json::Value request(Json::objectValue), response;
    request["name"] = "\xC3\xA9 x";
    request["n"] = 3;
    ASSERT_EQ(info.getData(server.url("/api/v1/key/push"), request, response), 200);
    EXPECT_EQ(response["ok"].asInt(), 1);

    const auto records = server.requests();
    ASSERT_EQ(records.size(), 1u);
    const HttpRecord& r = records[0];
    EXPECT_EQ(r.method, "POST");
    // libcurl puts Host and Accept first; ours follow in their fixed order.
    std::vector<std::string> ours;
    for (const std::string& name : headerNames(r)) {
        if (name != "Host" && name != "Accept" && name != "Content-Length")
            ours.push_back(name);
    }
    EXPECT_EQ(ours, (std::vector<std::string>{"User-Agent", "Content-Type", "Ostrel-Key", "Authorization", "Alpha",
                                              "Mid", "Zeta"}));
    EXPECT_EQ(r.header("User-Agent"), "ostrel/1.0");
    EXPECT_EQ(r.header("Content-Type"), "application/json");
    EXPECT_EQ(r.header("Ostrel-Key"), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(r.header("Authorization"), "Bearer tok");
    EXPECT_EQ(r.header("Alpha"), "a");
    EXPECT_FALSE(r.hasHeader("Expect"));
    EXPECT_EQ(r.body, "{\"n\":3,\"name\":\"\xC3\xA9 x\",\"task_time\":1700000000123}\n");
    EXPECT_EQ(request["task_time"].asUInt64(), 1700000000123ULL);
}

TEST(ServerInfo, ChoosesTheStrongestCredential)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.setFallback({200, "{}"});
    struct Case {
        bool withToken;
        std::string deviceId, devicePassword, authToken;
        std::string expected;  // empty: no Authorization header
        std::string logged;
    };
    const std::vector<Case> cases = {
        {false, "dev", "pw", "", "", ""},
        {true, "", "", "", "", ""},
        {true, "dev", "", "", "", ""},
        {true, "", "pw", "", "", ""},
        {true, "dev", "pw", "", "Basic ZGV2OnB3", "dev"},
        {true, "dev", "pw", "tok", "Bearer tok", "tok"},
        {true, "", "", "tok", "Bearer tok", "tok"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        AuthTokenValue token;
        token.deviceId = c.deviceId;
        token.devicePassword = c.devicePassword;
        token.authToken = c.authToken;
        ServerInfo info;
        info.authTokenValue = c.withToken ? &token : nullptr;
        server.clearRequests();
        Json::Value request(Json::objectValue), response;
        ASSERT_EQ(info.getData(server.url("/a"), request, response), 200);
        const auto records = server.requests();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].hasHeader("Authorization"), !c.expected.empty()) << c.expected;
        EXPECT_EQ(records[0].header("Authorization"), c.expected);
        EXPECT_FALSE(records[0].hasHeader("Ostrel-Key"));
        ASSERT_FALSE(log.lines().empty());
        EXPECT_EQ(log.lines()[0], "[REQ] " + server.url("/a") + " [" + c.logged + "] => \n");
    }
}

TEST(ServerInfo, BodyIsEmptyWithoutMembersAndTaskTimeOnlyWhenSet)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.setFallback({200, ""});
    struct Case { long long taskTime; std::string body; };
    for (const Case& c : std::vector<Case>{{0, ""}, {42, "{\"task_time\":42}\n"}}) {
        server.clearRequests();
        ServerInfo info;
        info.taskTime = c.taskTime;
        Json::Value request(Json::objectValue);
        Json::Value response("untouched");
        ASSERT_EQ(info.getData(server.url("/e"), request, response), 200);
        EXPECT_EQ(response.asString(), "untouched");  // an empty 2xx body leaves it alone
        ASSERT_EQ(server.requests().size(), 1u);
        EXPECT_EQ(server.requests()[0].body, c.body);
        EXPECT_EQ(server.requests()[0].method, "POST");
    }
}

TEST(ServerInfo, NoBodyMakesAGet)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/g", {200, "[1,2]"});
    ServerInfo info;
    Json::Value request(Json::objectValue), response;
    request["x"] = 1;
    ASSERT_EQ(info.getData(server.url("/g"), request, response, true), 200);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].body, "");
    EXPECT_EQ(response.size(), 2u);  // any JSON root is accepted
}

TEST(ServerInfo, ResultsFollowTheConvention)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    struct Case { HttpAnswer answer; int result; bool responseTouched; };
    const std::vector<Case> cases = {
        {{200, R"({"a":1})"}, 200, true},
        {{201, "// comment\n{\"a\":1}"}, 201, true},
        {{200, "not json"}, -2, false},
        {{204, ""}, 204, false},
        {{404, R"({"a":1})"}, 404, false},
        {{500, R"({"a":1})"}, 500, false},
        {{503, "busy"}, 503, false},
        {{407, ""}, -3, false},
        {{302, "", 0, {{"Location", "/elsewhere"}}}, 302, false},  // redirects are not followed
    };
    for (const Case& c : cases) {
        server.answer("/r", c.answer);
        server.answer("/elsewhere", {200, R"({"a":2})"});
        ServerInfo info;
        Json::Value request(Json::objectValue), response("before");
        EXPECT_EQ(info.getData(server.url("/r"), request, response), c.result) << c.answer.status;
        if (c.responseTouched)
            EXPECT_EQ(response["a"].asInt(), 1);
        else
            EXPECT_EQ(response.asString(), "before") << c.answer.status;
    }
    EXPECT_EQ(server.count("/elsewhere"), 0u);
}

TEST(ServerInfo, LogsRequestAndResponse)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/l", {404, "nope"});
    LogCapture log;
    ServerInfo info;
    Json::Value request(Json::objectValue), response;
    request["k"] = "v";
    ASSERT_EQ(info.getData(server.url("/l"), request, response), 404);
    const auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[REQ] " + server.url("/l") + " [] => {\"k\":\"v\"}\n\n");
    EXPECT_EQ(lines[1], "[RES] " + server.url("/l") + " (404) => nope\n");
}

TEST(ServerInfo, TransportFailureIsMinusOne)
{
    LogCapture log;
    ServerInfo info;
    Json::Value request(Json::objectValue), response;
    const int port = TestSupport::freePort();  // nothing listens there
    EXPECT_EQ(info.getData("http://127.0.0.1:" + std::to_string(port) + "/x", request, response), -1);
    EXPECT_NE(info.lastCurlCode, 0);
    EXPECT_EQ(log.countStartingWith("server failed: "), 1u);
    EXPECT_EQ(log.countStartingWith("[RES]"), 0u);
}

TEST(ServerInfo, TimeoutEndsASlowRequest)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/slow", {200, "{}", 5000});
    ServerInfo info;
    info.timeout = 1;
    Json::Value request(Json::objectValue), response;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(info.getData(server.url("/slow"), request, response), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(3000));
}

TEST(ServerInfo, CancelDuringASlowResponseReturnsPromptly)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/slow", {200, "{}", 10000});
    LogCapture log;
    ServerInfo info;
    Json::Value request(Json::objectValue), response;
    auto result = std::async(std::launch::async, [&] { return info.getData(server.url("/slow"), request, response); });
    ASSERT_TRUE(server.waitForRequests(1, 5000));
    const auto begin = std::chrono::steady_clock::now();
    info.cancel();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_EQ(result.get(), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(2000));
    EXPECT_EQ(log.countStartingWith("server failed: "), 1u);
}

TEST(ServerInfo, OwnerCancelAbortsEvenAfterTheFlagWasCleared)
{
    HttpDouble server;
    ASSERT_TRUE(server.isRunning());
    server.answer("/slow", {200, "{}", 10000});
    std::atomic<bool> ownerCancel{true};
    ServerInfo info;
    info.ownerCancelFlag = &ownerCancel;
    Json::Value request(Json::objectValue), response;
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(info.getData(server.url("/slow"), request, response), -1);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(3000));
}

TEST(ServerInfo, ProxyAuthenticationIsMinusThree)
{
    HttpDouble proxy;
    ASSERT_TRUE(proxy.isRunning());
    proxy.setFallback({407, "", 0, {{"Proxy-Authenticate", "Basic realm=\"p\""}}});
    const int target = TestSupport::freePort();
    ScopedEnv noProxy("no_proxy", "");
    ScopedEnv noProxyUpper("NO_PROXY", "");
    ScopedEnv http("http_proxy", proxy.url());
    ScopedEnv https("https_proxy", proxy.url());
    struct Case { std::string url; std::string method; };
    // Plain HTTP: the proxy's 407 is the answer status. HTTPS: the tunnel is refused, a library failure.
    const std::vector<Case> cases = {
        {"http://127.0.0.1:" + std::to_string(target) + "/api", "POST"},
        {"https://127.0.0.1:" + std::to_string(target) + "/api", "CONNECT"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        proxy.clearRequests();
        ServerInfo info;
        Json::Value request(Json::objectValue), response;
        EXPECT_EQ(info.getData(c.url, request, response), -3) << c.url;
        const auto records = proxy.requests();
        ASSERT_FALSE(records.empty()) << c.url;
        EXPECT_EQ(records[0].method, c.method);
        if (c.method == "CONNECT") {
            EXPECT_EQ(log.countStartingWith("proxy auth required\n"), 1u);
        }
    }
}
