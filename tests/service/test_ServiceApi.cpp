#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TestHttp.h"
#include "support/ServiceProcess.h"

using namespace TestHttp;
using TestSupport::ServiceProcess;

namespace {

Json::Value object() { return Json::Value(Json::objectValue); }

}  // namespace

TEST(ServiceApi, DeviceRegistersSignsInAndUpdatesItsRecord)
{
    ServiceProcess service;
    Client client(service);
    const Device d = client.newDevice("desk");
    EXPECT_EQ(d.id.size(), 20u);
    EXPECT_FALSE(d.token.empty());

    Json::Value update;
    update["profile_name"] = "My desk";
    update["os_type"] = "linux";
    update["os_version"] = "Debian 12";
    const Result r = client.api("device/update", update, d.token);
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.json()["device_id"].asString(), d.id);
    EXPECT_EQ(r.json()["profile_name"].asString(), "My desk");
    EXPECT_FALSE(r.json()["need_update"].asBool());

    Json::Value ids;
    ids["device"].append(d.id);
    ids["device"].append("unknown");
    const Result found = client.api("friend/search", ids, d.token);
    ASSERT_EQ(found.status, 200);
    ASSERT_EQ(found.json()["device"].size(), 1u);
    EXPECT_EQ(found.json()["device"][0]["device_name"].asString(), "Debian 12");
}

TEST(ServiceApi, CredentialFailuresAnswer401And403)
{
    ServiceProcess service;
    Client client(service);
    const Device d = client.newDevice();
    struct Case {
        const char* what;
        Headers headers;
        std::string path;
        long status;
    };
    const std::string url = service.apiUrl();
    const std::vector<Case> cases = {
        {"no api key", {basic(d.id, d.password)}, "auth/device", 403},
        {"wrong api key", {"Ostrel-Key: 00000000000000000000000000000000", basic(d.id, d.password)}, "auth/device", 403},
        {"wrong device password", {"Ostrel-Key: " + service.apiKey(), basic(d.id, "nope")}, "auth/device", 401},
        {"unknown device", {"Ostrel-Key: " + service.apiKey(), basic("ffff", d.password)}, "auth/device", 401},
        {"bearer at auth/device", {"Ostrel-Key: " + service.apiKey(), "Authorization: Bearer " + d.token},
         "auth/device", 401},
        {"bad bearer", {"Ostrel-Key: " + service.apiKey(), "Authorization: Bearer 1234"}, "device/update", 401},
        {"no credentials", {"Ostrel-Key: " + service.apiKey()}, "key/create", 401},
        {"device token where a user is needed", {"Ostrel-Key: " + service.apiKey(), "Authorization: Bearer " + d.token},
         "user/device/list", 401},
        {"good basic", {"Ostrel-Key: " + service.apiKey(), basic(d.id, d.password)}, "auth/device", 200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(request("POST", url + c.path, "{}", c.headers).status, c.status) << c.what;
    // The push service has no application key, but still wants a device.
    EXPECT_EQ(request("POST", service.pushUrl() + "get", "", {}).status, 401);
    EXPECT_EQ(request("POST", service.baseUrl() + "/file/v1/send", "{}", {}).status, 401);
}

TEST(ServiceApi, TokensExpireAfterTheConfiguredTime)
{
    ServiceProcess service({{"--token-ttl", "1"}, "", ""});
    Client client(service);
    const Device d = client.newDevice();
    EXPECT_EQ(client.api("device/update", object(), d.token).status, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    EXPECT_EQ(client.api("device/update", object(), d.token).status, 401);
    // Renewal with the device credentials gives a working token again.
    const Result renewed = client.apiBasic("auth/device", object(), d);
    ASSERT_EQ(renewed.status, 200);
    EXPECT_EQ(client.api("device/update", object(), renewed.json()["access_token"].asString()).status, 200);
}

TEST(ServiceApi, UsersRegisterSignInListDevicesAndUnregister)
{
    ServiceProcess service;
    Client client(service);
    const Device a = client.newDevice("a"), b = client.newDevice("b");
    Json::Value reg;
    reg["user_id"] = "alice@example.org";
    reg["password"] = "secret-1";
    reg["user_name"] = "Alice";
    Result r = client.api("user/register", reg, a.token);
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.json()["error"].asString(), "");
    EXPECT_EQ(client.api("user/register", reg, a.token).json()["error"].asString(), "exist_user_id");
    Json::Value bad = reg;
    bad["user_id"] = "x";
    EXPECT_EQ(client.api("user/register", bad, a.token).json()["error"].asString(), "invalid_user_id");
    bad = reg;
    bad["user_id"] = "bob";
    bad["password"] = "123";
    EXPECT_EQ(client.api("user/register", bad, a.token).json()["error"].asString(), "invalid_password");

    Json::Value login;
    login["user_id"] = "alice@example.org";
    login["password"] = "wrong-pw";
    EXPECT_EQ(client.api("auth/user", login, a.token).status, 401);
    login["password"] = "secret-1";
    const std::string ta = client.api("auth/user", login, a.token).json()["access_token"].asString();
    const std::string tb = client.api("auth/user", login, b.token).json()["access_token"].asString();
    ASSERT_FALSE(ta.empty());
    ASSERT_FALSE(tb.empty());
    r = client.api("user/device/list", object(), ta);
    ASSERT_EQ(r.status, 200);
    ASSERT_EQ(r.json()["device"].size(), 2u);
    EXPECT_EQ(r.json()["device"][0]["device_id"].asString(), a.id);
    EXPECT_EQ(r.json()["device"][1]["profile_name"].asString(), "b");

    Json::Value change;
    change["password"] = "secret-2";
    EXPECT_EQ(client.api("user/update", change, ta).status, 200);
    EXPECT_EQ(client.api("auth/user", login, a.token).status, 401);  // old password gone

    Json::Value unreg;
    unreg["password"] = "secret-1";
    EXPECT_EQ(client.api("user/unregister", unreg, ta).status, 401);
    unreg["password"] = "secret-2";
    EXPECT_EQ(client.api("user/unregister", unreg, ta).status, 200);
    // The device stays signed in as itself.
    EXPECT_EQ(client.api("device/update", object(), ta).status, 200);
    EXPECT_EQ(client.api("user/device/list", object(), ta).status, 401);
    EXPECT_EQ(client.api("auth/logout", object(), ta).status, 200);
    EXPECT_EQ(client.api("device/update", object(), ta).status, 401);
}

TEST(ServiceApi, BadInputIsRefusedWithoutHarm)
{
    ServiceProcess service({{"--max-body", "65536"}, "", ""});
    Client client(service);
    const Device d = client.newDevice();
    const Headers h = {"Ostrel-Key: " + service.apiKey(), "Authorization: Bearer " + d.token};
    const std::string url = service.apiUrl();
    struct Case {
        const char* what;
        std::string method, path, body;
        long status;
    };
    const std::vector<Case> cases = {
        {"malformed json", "POST", "key/create", "{\"mode\":", 400},
        {"array root", "POST", "key/create", "[1,2]", 400},
        {"deep nesting", "POST", "key/create", std::string(5000, '[') + std::string(5000, ']'), 400},
        {"oversized body", "POST", "key/create", std::string(70000, ' '), 413},
        {"unknown endpoint", "POST", "no/such/thing", "{}", 404},
        {"GET on the API", "GET", "device/update", "", 405},
        {"key without files", "POST", "key/create", "{\"mode\":\"upload\"}", 400},
        {"unknown mode", "POST", "key/create", "{\"mode\":\"teleport\",\"file\":[{\"name\":\"a\",\"size\":1}]}", 400},
        {"negative size", "POST", "key/create", "{\"file\":[{\"name\":\"a\",\"size\":-5}]}", 400},
        {"bad reply status", "POST", "key/push/reply/123456", "{\"status\":\"maybe\"}", 400},
    };
    for (const auto& c : cases)
        EXPECT_EQ(request(c.method, url + c.path, c.body, h).status, c.status) << c.what;
    EXPECT_EQ(request("GET", service.baseUrl() + "/nothing/here", "").status, 404);
    EXPECT_EQ(request("GET", service.baseUrl() + "/relay/v1/../../etc/passwd", "").status, 404);
    EXPECT_EQ(request("POST", service.baseUrl() + "/file/v1/recv", "{\"key\":", {basic(d.id, d.password)}).status,
              400);
    // Still alive and logging one line per request.
    EXPECT_EQ(client.api("device/update", object(), d.token).status, 200);
    EXPECT_NE(service.log().find("POST /api/v1/key/create 413"), std::string::npos);
    EXPECT_NE(service.log().find("POST /api/v1/no/such/thing 404"), std::string::npos);
}

TEST(ServiceApi, RestartKeepsAccountsDevicesAndKeys)
{
    ServiceProcess service;
    Client client(service);
    const Device d = client.newDevice();
    Json::Value reg;
    reg["user_id"] = "carol";
    reg["password"] = "password9";
    ASSERT_EQ(client.api("user/register", reg, d.token).status, 200);
    Json::Value key;
    key["mode"] = "upload";
    key["file"][0]["name"] = "a.txt";
    key["file"][0]["size"] = 3;
    const Result created = client.api("key/create", key, d.token);
    ASSERT_EQ(created.status, 200);
    const std::string k = created.json()["key"].asString();

    service.restart();
    EXPECT_EQ(client.api("device/update", object(), d.token).status, 200);  // token survives too
    const Result auth = client.apiBasic("auth/device", object(), d);
    EXPECT_EQ(auth.status, 200);
    Json::Value login;
    login["user_id"] = "carol";
    login["password"] = "password9";
    EXPECT_EQ(client.api("auth/user", login, d.token).status, 200);
    const Result found = client.api("key/search/" + k, object(), d.token);
    ASSERT_EQ(found.status, 200);
    EXPECT_EQ(found.json()["mode"].asString(), "upload");
    EXPECT_EQ(found.json()["device_id"].asString(), d.id);
}

TEST(ServiceApi, HelpNamesEveryFlag)
{
    FILE* p = popen((std::string(TROVANTI_SERVICE_BIN) + " --help").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, p))
        text.append(buffer, n);
    EXPECT_EQ(pclose(p), 0);
    for (const char* flag : {"--bind", "--port", "--partner-port", "--data-dir", "--api-key", "--token-ttl",
                             "--public-url", "--key-ttl", "--push-timeout", "--lookup-limit", "--max-body"})
        EXPECT_NE(text.find(flag), std::string::npos) << flag;
}

TEST(ServiceApi, NearbyPublicationIsFoundAndExpires)
{
    ServiceProcess service({{"--nearby-ttl", "2"}, "", ""});
    Client client(service);
    const Device a = client.newDevice("a"), b = client.newDevice("b");
    Json::Value pub;
    pub["network_type"] = "ethernet";
    pub["listen_port"] = 8080;
    const Result published = client.api("device/nearby/publish", pub, a.token);
    ASSERT_EQ(published.status, 200);
    EXPECT_EQ(published.json()["timeout"].asInt(), 2);
    Json::Value search;
    search["prefer_ids"] = Json::Value();
    Result found = client.api("device/nearby/search", search, b.token);
    ASSERT_EQ(found.json()["device"].size(), 1u);
    EXPECT_EQ(found.json()["device"][0]["device_id"].asString(), a.id);
    EXPECT_EQ(client.api("device/nearby/search", search, a.token).json()["device"].size(), 0u);  // not itself
    ASSERT_EQ(client.api("device/nearby/close", object(), a.token).status, 200);
    EXPECT_EQ(client.api("device/nearby/search", search, b.token).json()["device"].size(), 0u);
    client.api("device/nearby/publish", pub, a.token);
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
    EXPECT_EQ(client.api("device/nearby/search", search, b.token).json()["device"].size(), 0u);
}

TEST(ServiceApi, DevicePictureUploadsAndIsServed)
{
    ServiceProcess service;
    Client client(service);
    const Device d = client.newDevice();
    const Result slot = client.api("device/upload/profile", object(), d.token);
    ASSERT_EQ(slot.status, 200);
    const std::string uploadUrl = slot.json()["upload_url"].asString();
    ASSERT_EQ(uploadUrl.compare(0, service.baseUrl().size(), service.baseUrl()), 0);
    const std::string picture = "\xff\xd8\xff\xe0 not really a jpeg";
    EXPECT_EQ(request("PUT", uploadUrl, picture, {"Content-Type: image/jpeg"}).status, 200);
    const Result me = client.api("device/update", object(), d.token);
    const std::string profileUrl = me.json()["profile_url"].asString();
    ASSERT_FALSE(profileUrl.empty());
    const Result fetched = request("GET", profileUrl, "");
    EXPECT_EQ(fetched.status, 200);
    EXPECT_EQ(fetched.body, picture);
    EXPECT_EQ(request("PUT", service.baseUrl() + "/picture/v1/upload/device/0000", picture).status, 404);
}
