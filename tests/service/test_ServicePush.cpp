#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "TestHttp.h"
#include "support/ServiceProcess.h"

using namespace TestHttp;
using TestSupport::ServiceProcess;

namespace {

std::string createKey(const Client& client, const Device& d)
{
    Json::Value v;
    v["mode"] = "hybrid";
    v["file"][0]["name"] = "photo.jpg";
    v["file"][0]["size"] = 1234;
    return client.api("key/create", v, d.token).json()["key"].asString();
}

}  // namespace

TEST(ServicePush, PushWakesTheLongPollAndGetHandsEventsOutOnce)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), target = client.newDevice("target");
    const std::string k = createKey(client, sender);
    EXPECT_EQ(client.push("get", target.token).json().size(), 0u);

    auto sub = std::async(std::launch::async, [&] { return client.push("sub", target.token); });
    EXPECT_EQ(sub.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    Json::Value body;
    body["comment"] = "for you";
    body["thumbnail"] = "aGVsbG8";  // unpadded Base64, as the client writes it
    const Result pushed = client.api("key/push/" + k + "/" + target.id, body, sender.token);
    ASSERT_EQ(pushed.status, 200);
    EXPECT_EQ(pushed.json()["received_device_id"].asString(), target.id);

    ASSERT_EQ(sub.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    const Result woke = sub.get();
    EXPECT_EQ(woke.status, 200);
    EXPECT_EQ(woke.json()["key"].asString(), k);
    const Json::Value events = client.push("get", target.token).json();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["action"].asString(), "recv_key");
    EXPECT_EQ(events[0]["key"].asString(), k);
    EXPECT_EQ(client.push("get", target.token).json().size(), 0u);

    const Result query = client.api("key/push/query/" + k, Json::Value(Json::objectValue), target.token);
    ASSERT_EQ(query.status, 200);
    EXPECT_EQ(query.json()["comment"].asString(), "for you");
    EXPECT_EQ(query.json()["thumbnail"].asString(), "aGVsbG8");
    EXPECT_EQ(query.json()["file_number"].asInt(), 1);
    EXPECT_EQ(query.json()["file_size"].asInt(), 1234);
    EXPECT_EQ(query.json()["device_id"].asString(), sender.id);
    EXPECT_EQ(query.json()["profile_name"].asString(), "sender");
    Json::Value reply;
    reply["status"] = "accept";
    EXPECT_EQ(client.api("key/push/reply/" + k, reply, target.token).status, 200);
    EXPECT_EQ(client.api("key/push/reply/" + k, reply, sender.token).status, 404);  // nothing was pushed to it
}

TEST(ServicePush, EventsWaitForAnOfflineDeviceAndSurviveARestart)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), target = client.newDevice("target");
    const std::string k = createKey(client, sender);
    ASSERT_EQ(client.api("key/push/" + k + "/" + target.id, Json::Value(Json::objectValue), sender.token).status, 200);
    service.restart();
    const Result sub = client.push("sub", target.token, 5);  // pending: answers at once
    EXPECT_EQ(sub.status, 200);
    EXPECT_EQ(sub.json()["key"].asString(), k);
    EXPECT_EQ(client.push("get", target.token).json().size(), 1u);
}

TEST(ServicePush, IdlePollEndsWith504AfterTheConfiguredTime)
{
    ServiceProcess service({{"--push-timeout", "1"}, "", ""});
    Client client(service);
    const Device d = client.newDevice();
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(client.push("sub", d.token).status, 504);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::seconds(5));
}

TEST(ServicePush, PushesToUnknownKeysOrDevicesAre404)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), target = client.newDevice("target");
    const std::string k = createKey(client, sender);
    const Json::Value empty(Json::objectValue);
    EXPECT_EQ(client.api("key/push/" + k + "/nosuchdevice", empty, sender.token).status, 404);
    EXPECT_EQ(client.api("key/push/999999x/" + target.id, empty, sender.token).status, 404);
    EXPECT_EQ(client.api("key/push/query/999999x", empty, target.token).status, 404);
    // Deleting is for the owner only; afterwards the key is gone.
    EXPECT_EQ(client.api("key/delete/" + k, empty, target.token).status, 404);
    EXPECT_EQ(client.api("key/delete/" + k, empty, sender.token).status, 200);
    EXPECT_EQ(client.api("key/push/" + k + "/" + target.id, empty, sender.token).status, 404);
}
