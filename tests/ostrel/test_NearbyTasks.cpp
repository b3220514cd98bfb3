#include "ostrel/CloseNearbyTask.h"
#include "ostrel/PublishNearbyTask.h"
#include "ostrel/SearchNearbyTask.h"

#include <gtest/gtest.h>

#include "TaskTestUtil.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::HttpDouble;

namespace {

const EventList kSuccess = {{1, 257}};

class NearbyDouble : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning());
        option.api = server.url("/api/v1/");
        signedInDevice(token);
    }

    EventList run(BaseTask& task)
    {
        EventRecorder recorder;
        runTask(task, token, option, recorder);
        return recorder.outcome();
    }

    Json::Value lastBody(const std::string& path)
    {
        const auto requests = server.requests("/api/v1/" + path);
        return requests.empty() ? Json::Value() : parse(requests.back().body);
    }

    HttpDouble server;
    TestOption option;
    AuthTokenValue token;
};

}  // namespace

TEST_F(NearbyDouble, PublishSendsTheNetworkAndPublishesTheTimeout)
{
    struct Case {
        std::string answer;
        int timeout;
    };
    const std::vector<Case> cases = {{"{}", 600}, {R"({"timeout":120})", 120}, {R"({"timeout":"soon"})", 600}};
    for (const auto& c : cases) {
        server.answer("/api/v1/device/nearby/publish", {200, c.answer});
        PublishNearbyTask task;
        EXPECT_EQ(boost::any_cast<int>(task.getValue(256)), 0);
        EXPECT_EQ(run(task), kSuccess) << c.answer;
        EXPECT_EQ(boost::any_cast<int>(task.getValue(256)), c.timeout) << c.answer;
        EXPECT_EQ(*static_cast<const int*>(task.getValuePtr(256)), c.timeout);
    }
    const Json::Value body = lastBody("device/nearby/publish");
    EXPECT_EQ(body["os_type"].asString(), "linux");
    EXPECT_TRUE(body["network_type"] == "ethernet" || body["network_type"] == "wifi");
    EXPECT_EQ(body.isMember("bssid"), body["network_type"] == "wifi");
    EXPECT_TRUE(body["listen_port"].isInt());
    EXPECT_FALSE(body.isMember("latitude"));
    EXPECT_FALSE(body.isMember("longitude"));
    EXPECT_TRUE(body["task_time"].isIntegral());
}

TEST_F(NearbyDouble, PublishFailureKeepsTheTimeoutAtZero)
{
    server.answer("/api/v1/device/nearby/publish", {404, ""});
    PublishNearbyTask task;
    EXPECT_EQ(run(task), (EventList{{1, 259}}));
    EXPECT_EQ(boost::any_cast<int>(task.getValue(256)), 0);
}

TEST_F(NearbyDouble, SearchSendsPreferredIdsOrNullAndReadsTheDevices)
{
    server.answer("/api/v1/device/nearby/search",
                  {200, R"({"device":[{"device_id":"n1","profile_name":"Near One"},{"device_id":"n2"}]})"});
    {
        SearchNearbyTask task(false);
        EXPECT_EQ(run(task), kSuccess);
        const Json::Value body = lastBody("device/nearby/search");
        ASSERT_TRUE(body.isMember("prefer_ids"));
        EXPECT_TRUE(body["prefer_ids"].isNull());
        EXPECT_TRUE(body.isMember("network_type"));
        const auto devices = boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256));
        ASSERT_EQ(devices.size(), 2u);
        EXPECT_EQ(devices[0].profileName, L"Near One");
        EXPECT_EQ(devices[1].deviceId, "n2");
    }
    {
        SearchNearbyTask task({"n2", "n7"}, false);
        EXPECT_EQ(run(task), kSuccess);
        const Json::Value ids = lastBody("device/nearby/search")["prefer_ids"];
        ASSERT_TRUE(ids.isArray());
        EXPECT_EQ(ids.size(), 2u);
        EXPECT_EQ(ids[1].asString(), "n7");
        EXPECT_EQ(static_cast<const std::vector<DeviceInfo>*>(task.getValuePtr(256))->size(), 2u);
    }
}

TEST_F(NearbyDouble, SearchAnswerWithoutDevicesIsAnEmptyList)
{
    server.answer("/api/v1/device/nearby/search", {200, "{}"});
    SearchNearbyTask task(true);
    EXPECT_EQ(run(task), kSuccess);
    EXPECT_TRUE(boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256)).empty());
}

TEST_F(NearbyDouble, CloseIsOneRequestWithoutMembers)
{
    server.answer("/api/v1/device/nearby/close", {200, ""});
    CloseNearbyTask task;
    EXPECT_EQ(run(task), kSuccess);
    const Json::Value body = lastBody("device/nearby/close");
    EXPECT_EQ(body.getMemberNames(), std::vector<std::string>{"task_time"});
    EXPECT_EQ(server.requests()[0].header("Authorization"), "Bearer device-token");
}
