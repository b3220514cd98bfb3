#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <future>
#include <thread>

#include "TestHttp.h"
#include "support/ServiceProcess.h"

using namespace TestHttp;
using TestSupport::ServiceProcess;

namespace {

Json::Value object() { return Json::Value(Json::objectValue); }

Json::Value keyRequest(const std::string& mode, const std::vector<std::pair<std::string, uint64_t>>& files)
{
    Json::Value v;
    v["mode"] = mode;
    v["watch"] = false;
    for (const auto& f : files) {
        Json::Value e;
        e["name"] = f.first;
        e["size"] = Json::UInt64(f.second);
        v["file"].append(e);
    }
    return v;
}

Json::Value report(const std::string& key, const std::string& state, const std::vector<uint64_t>& sizes,
                   int listenPort = 8080, bool direct = false)
{
    Json::Value v;
    v["key"] = key;
    v["state"] = state;
    v["parallel_transfer"] = false;
    if (direct)
        v["mode"] = "direct";
    for (size_t i = 0; i < sizes.size(); ++i) {
        Json::Value f;
        f["name"] = "f" + std::to_string(i);
        f["size"] = Json::UInt64(sizes[i]);
        f["time"] = 1500000000 + static_cast<int>(i);
        v["file"].append(f);
    }
    v["os_type"] = "linux";
    v["network_type"] = "ethernet";
    v["device_ip"] = "10.1.2.3";  // a claim; the service must use the source address instead
    v["listen_port"] = listenPort;
    return v;
}

// The client's own substitution of the relay placeholder with the file server's authority.
std::string substitute(std::string url, const std::string& server)
{
    const std::string authority = server.substr(7, server.find('/', 7) - 7);
    const size_t at = url.find("{SERVER_IP}");
    if (at != std::string::npos)
        url.replace(at, 11, authority);
    return url;
}

std::string contentRange(uint64_t start, uint64_t size)
{
    return "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(size) + "/" + std::to_string(size);
}

}  // namespace

TEST(ServiceTransfer, UploadKeyRelaysBytesWithResumeUntilBothSidesComplete)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), receiver = client.newDevice("receiver");
    const std::string a = "hello relay world", b(70000, 'x');
    const Result created = client.api("key/create", keyRequest("upload", {{"a.txt", a.size()}, {"dir/b.bin", b.size()}}),
                                      sender.token);
    ASSERT_EQ(created.status, 200);
    const Json::Value key = created.json();
    const std::string k = key["key"].asString(), server = key["server"].asString();
    EXPECT_EQ(k.size(), 6u);
    EXPECT_EQ(k.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(server, service.baseUrl() + "/file/v1/");
    EXPECT_NEAR(key["expires_time"].asInt64() - key["created_time"].asInt64(), 86400, 1);
    EXPECT_FALSE(key["link"].asString().empty());

    const Result found = client.api("key/search/" + k, object(), receiver.token);
    ASSERT_EQ(found.status, 200);
    EXPECT_EQ(found.json()["mode"].asString(), "upload");
    EXPECT_EQ(found.json()["device_id"].asString(), sender.id);
    EXPECT_FALSE(found.json()["is_link_sharing"].asBool());

    // The receiver asks before the upload is done: its "transfer" waits for the files.
    Json::Value query = client.session(server, false, report(k, "query", {}), receiver).json();
    ASSERT_EQ(query["state"].asString(), "query");
    ASSERT_EQ(query["file"].size(), 2u);
    EXPECT_EQ(query["file"][1]["name"].asString(), "dir/b.bin");
    auto waiting = std::async(std::launch::async, [&] {
        return client.session(server, false, report(k, "transfer", {0, 100}), receiver).json();
    });

    Json::Value reply = client.session(server, true, report(k, "transfer", {a.size(), b.size()}), sender).json();
    ASSERT_EQ(reply["state"].asString(), "transfer");
    EXPECT_FALSE(reply["passive"].asBool());
    const std::string url0 = reply["file"][0]["url"].asString(), url1 = reply["file"][1]["url"].asString();
    EXPECT_NE(url0.find("{SERVER_IP}"), std::string::npos);
    EXPECT_EQ(reply["file"][1]["sent"].asUInt64(), 0u);
    EXPECT_EQ(reply["file"][0]["time"].asInt(), 1500000000);

    // First file whole; second file cut short, then resumed from the "sent" the service reports.
    EXPECT_EQ(request("PUT", substitute(url0, server), a).status, 200);
    Result put = request("PUT", substitute(url1, server), b.substr(0, 30000));
    EXPECT_EQ(put.status, 200);
    EXPECT_EQ(put.body, " ");
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    reply = client.session(server, true, report(k, "transfer", {a.size(), b.size()}), sender).json();
    ASSERT_EQ(reply["file"][1]["sent"].asUInt64(), 30000u);
    // A resume that would leave a hole, or run past the announced size, is refused.
    EXPECT_EQ(request("PUT", substitute(url1, server), "zz", {contentRange(40000, b.size())}).status, 416);
    EXPECT_EQ(request("PUT", substitute(url1, server), b.substr(30000) + "extra", {contentRange(30000, b.size())}).status,
              413);
    EXPECT_EQ(request("PUT", substitute(url1, server), b.substr(30000), {contentRange(30000, b.size())}).status, 200);
    EXPECT_EQ(client.session(server, true, report(k, "complete", {a.size(), b.size()}), sender)
                  .json()["state"].asString(),
              "complete");

    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    const Json::Value recv = waiting.get();
    ASSERT_EQ(recv["state"].asString(), "transfer");
    EXPECT_EQ(recv["peer_device_id"].asString(), sender.id);
    EXPECT_EQ(recv["file"][1]["sent"].asUInt64(), 100u);  // the receiver's own offset
    const Result whole = request("GET", substitute(recv["file"][0]["url"].asString(), server), "");
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.body, a);
    const Result rest = request("GET", substitute(recv["file"][1]["url"].asString(), server), "", {"Range: bytes=100-"});
    EXPECT_EQ(rest.status, 206);
    EXPECT_EQ(rest.headers.at("content-range"), "bytes 100-70000/70000");
    EXPECT_EQ(rest.body, b.substr(100));
    EXPECT_EQ(request("GET", substitute(recv["file"][1]["url"].asString(), server), "", {"Range: bytes=x-"}).status,
              416);
    EXPECT_EQ(client.session(server, false, report(k, "complete", {a.size(), b.size()}), receiver)
                  .json()["state"].asString(),
              "complete");

    // The sender hears of the receipt through its push events.
    const Json::Value events = client.push("get", sender.token).json();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["action"].asString(), "peer_recv_completed");
    EXPECT_EQ(events[0]["key"].asString(), k);
    EXPECT_EQ(events[0]["peer_device_id"].asString(), receiver.id);
    // An upload key stays usable for further receivers.
    EXPECT_EQ(client.api("key/search/" + k, object(), receiver.token).json()["download_count"].asInt(), 1);
}

TEST(ServiceTransfer, DirectKeyPairsBothSessionsAndCannotBeUsedAgain)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), receiver = client.newDevice("receiver");
    const Json::Value key = client.api("key/create", keyRequest("direct", {{"a.txt", 10}, {"b.txt", 20}}), sender.token)
                                .json();
    const std::string k = key["key"].asString(), server = key["server"].asString();
    EXPECT_NEAR(key["expires_time"].asInt64() - key["created_time"].asInt64(), 600, 1);

    // The sender's report is held until a receiver joins.
    auto held = std::async(std::launch::async,
                           [&] { return client.session(server, true, report(k, "transfer", {10, 20}, 8000), sender); });
    EXPECT_EQ(held.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
    ASSERT_EQ(client.session(server, false, report(k, "query", {}), receiver).json()["state"].asString(), "query");
    const Json::Value recv = client.session(server, false, report(k, "transfer", {0, 5}, 8888), receiver).json();
    const Json::Value send = held.get().json();
    ASSERT_EQ(send["state"].asString(), "transfer");
    ASSERT_EQ(recv["state"].asString(), "transfer");
    EXPECT_TRUE(send["passive"].asBool());
    EXPECT_FALSE(recv["passive"].asBool());
    EXPECT_EQ(send["peer_device_id"].asString(), receiver.id);
    EXPECT_EQ(recv["peer_device_id"].asString(), sender.id);
    // URLs lead to the address the sender's report came from, not to the "device_ip" it claimed.
    const std::string url = recv["file"][0]["url"].asString();
    EXPECT_EQ(url.compare(0, 22, "http://127.0.0.1:8000/"), 0) << url;
    EXPECT_EQ(send["file"][0]["url"].asString(), url);
    EXPECT_EQ(recv["file"][1]["sent"].asUInt64(), 5u);

    EXPECT_EQ(client.session(server, false, report(k, "complete", {10, 20}), receiver).json()["state"].asString(),
              "complete");
    EXPECT_EQ(client.session(server, true, report(k, "complete", {10, 20}), sender).json()["state"].asString(),
              "complete");
    // Finished: the key is gone for every lookup.
    EXPECT_EQ(client.api("key/search/" + k, object(), receiver.token).status, 404);
    const Device third = client.newDevice("third");
    EXPECT_EQ(client.session(server, false, report(k, "transfer", {0, 0}), third).json()["state"].asString(),
              "wrong_key");
}

TEST(ServiceTransfer, BlackListedSenderTurnsTheRolesAround)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), receiver = client.newDevice("receiver");
    const Json::Value key = client.api("key/create", keyRequest("direct", {{"a.txt", 10}}), sender.token).json();
    const std::string k = key["key"].asString(), server = key["server"].asString();
    auto held = std::async(std::launch::async,
                           [&] { return client.session(server, true, report(k, "transfer", {10}, 8000), sender); });
    Json::Value recv = client.session(server, false, report(k, "transfer", {0}, 8888), receiver).json();
    ASSERT_TRUE(held.get().json()["passive"].asBool());

    // The receiver could not connect: it retries with the sender's address on its black list.
    Json::Value retry = report(k, "transfer", {0}, 8888);
    retry["black_list"].append("127.0.0.1:8000");
    auto second = std::async(std::launch::async, [&] { return client.session(server, false, retry, receiver); });
    const Json::Value send = client.session(server, true, report(k, "transfer", {10}, 8000), sender).json();
    recv = second.get().json();
    ASSERT_EQ(send["state"].asString(), "transfer");
    EXPECT_FALSE(send["passive"].asBool());
    EXPECT_TRUE(recv["passive"].asBool());
    EXPECT_EQ(send["file"][0]["url"].asString().compare(0, 22, "http://127.0.0.1:8888/"), 0);

    // Both directions black-listed: no direct route is left.
    retry["black_list"].append("127.0.0.1:8888");
    Json::Value senderRetry = report(k, "transfer", {10}, 8000);
    senderRetry["black_list"].append("127.0.0.1:8888");
    auto third = std::async(std::launch::async, [&] { return client.session(server, false, retry, receiver); });
    const Json::Value failed = client.session(server, true, senderRetry, sender).json();
    EXPECT_EQ(failed["state"].asString(), "fail");
    EXPECT_TRUE(failed["no_retry"].asBool());
    EXPECT_EQ(third.get().json()["state"].asString(), "fail");
}

TEST(ServiceTransfer, SenderCancelReachesTheWaitingReceiver)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), receiver = client.newDevice("receiver");
    const Json::Value key = client.api("key/create", keyRequest("direct", {{"a.txt", 10}}), sender.token).json();
    const std::string k = key["key"].asString(), server = key["server"].asString();
    auto held = std::async(std::launch::async,
                           [&] { return client.session(server, true, report(k, "transfer", {10}, 8000), sender); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(client.session(server, true, report(k, "cancel", {10}), sender).json()["state"].asString(), "cancel");
    EXPECT_EQ(held.get().json()["state"].asString(), "cancel");
    EXPECT_EQ(client.session(server, false, report(k, "transfer", {0}), receiver).json()["state"].asString(), "cancel");
}

TEST(ServiceTransfer, HybridRunsRelayAndDirectSessionsSideBySide)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender"), receiver = client.newDevice("receiver");
    const std::string data = "hybrid bytes";
    const Json::Value key = client.api("key/create", keyRequest("hybrid", {{"h.txt", data.size()}}), sender.token).json();
    const std::string k = key["key"].asString(), server = key["server"].asString();
    EXPECT_EQ(client.api("key/search/" + k, object(), receiver.token).json()["mode"].asString(), "hybrid");

    // The sender's direct session waits for a peer; its main session goes to the relay at once.
    auto direct = std::async(std::launch::async, [&] {
        return client.session(server, true, report(k, "transfer", {data.size()}, 8000, true), sender);
    });
    const Json::Value main = client.session(server, true, report(k, "transfer", {data.size()}), sender).json();
    ASSERT_EQ(main["state"].asString(), "transfer");
    const std::string relayUrl = main["file"][0]["url"].asString();
    EXPECT_NE(relayUrl.find("{SERVER_IP}"), std::string::npos);
    EXPECT_EQ(request("PUT", substitute(relayUrl, server), data).status, 200);
    EXPECT_EQ(client.session(server, true, report(k, "complete", {data.size()}), sender).json()["state"].asString(),
              "complete");
    // Relay done and no peer came: the sender cancels its direct session.
    EXPECT_EQ(client.session(server, true, report(k, "cancel", {data.size()}, 8000, true), sender)
                  .json()["state"].asString(),
              "cancel");
    EXPECT_EQ(direct.get().json()["state"].asString(), "cancel");

    // The receiver tries direct first, is turned away quietly, and takes the relay.
    const Json::Value tryDirect = client.session(server, false, report(k, "transfer", {0}, 8888, true), receiver).json();
    EXPECT_EQ(tryDirect["state"].asString(), "fail");
    const Json::Value viaRelay = client.session(server, false, report(k, "transfer", {0}), receiver).json();
    ASSERT_EQ(viaRelay["state"].asString(), "transfer");
    EXPECT_EQ(request("GET", substitute(viaRelay["file"][0]["url"].asString(), server), "").body, data);
}

TEST(ServiceTransfer, UnknownKeysAreRateLimitedPerDeviceAndAddress)
{
    ServiceProcess service({{"--lookup-limit", "3", "--lookup-window", "60"}, "", ""});
    Client client(service);
    const Device sender = client.newDevice("sender"), guesser = client.newDevice("guesser");
    const std::string k =
        client.api("key/create", keyRequest("upload", {{"a", 1}}), sender.token).json()["key"].asString();
    const std::string wrong = k == "000000" ? "000001" : "000000";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(client.api("key/search/" + wrong, object(), guesser.token).status, 404);
    EXPECT_EQ(client.api("key/search/" + wrong, object(), guesser.token).status, 429);
    // Even a real key is refused while over the limit, and so are file-server lookups.
    EXPECT_EQ(client.api("key/search/" + k, object(), guesser.token).status, 429);
    const std::string server = service.baseUrl() + "/file/v1/";
    EXPECT_EQ(client.session(server, false, report(k, "query", {}), guesser).status, 429);
}

TEST(ServiceTransfer, KeysExpireAndTheirRelayedFilesAreDeleted)
{
    ServiceProcess service({{"--key-ttl", "2", "--sweep-interval", "1"}, "", ""});
    Client client(service);
    const Device sender = client.newDevice("sender"), receiver = client.newDevice("receiver");
    Json::Value req = keyRequest("upload", {{"a.txt", 4}});
    req["timeout"] = 2;
    const Json::Value key = client.api("key/create", req, sender.token).json();
    const std::string k = key["key"].asString(), server = key["server"].asString();
    EXPECT_EQ(key["expires_time"].asInt64() - key["created_time"].asInt64(), 2);
    const Json::Value reply = client.session(server, true, report(k, "transfer", {4}), sender).json();
    const std::string url = substitute(reply["file"][0]["url"].asString(), server);
    ASSERT_EQ(request("PUT", url, "abcd").status, 200);
    const std::string relayDir = service.dataDir() + "/relay";
    struct stat st {};
    ASSERT_EQ(::stat(relayDir.c_str(), &st), 0);
    const std::string direct =
        client.api("key/create", keyRequest("direct", {{"b", 1}}), sender.token).json()["key"].asString();

    // A direct key held by nobody answers "no_request" to its sender when it runs out.
    const Json::Value late = client.session(server, true, report(direct, "transfer", {1}), sender, 10).json();
    EXPECT_EQ(late["state"].asString(), "no_request");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(client.api("key/search/" + k, object(), receiver.token).status, 404);
    EXPECT_EQ(client.api("key/search/" + direct, object(), receiver.token).status, 404);
    EXPECT_EQ(request("GET", url, "").status, 404);
    size_t left = 0;
    for (int i = 0; i < 30; ++i) {
        left = 0;
        if (DIR* dir = opendir(relayDir.c_str())) {
            while (dirent* e = readdir(dir))
                left += e->d_name[0] != '.';
            closedir(dir);
        }
        if (left == 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(left, 0u);
}
