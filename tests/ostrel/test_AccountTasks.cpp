#include "ostrel/ChangeUserTask.h"
#include "ostrel/DeleteKeyTask.h"
#include "ostrel/GetDeviceListTask.h"
#include "ostrel/QueryFriendTask.h"
#include "ostrel/RegisterUserTask.h"
#include "ostrel/UnregisterUserTask.h"
#include "ostrel/UpdateDevicePictureTask.h"
#include "ostrel/UpdateDeviceTask.h"

#include <gtest/gtest.h>

#include <fstream>

#include "ostrel/StringUtil.h"

#include "TaskTestUtil.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::HttpDouble;
using Paths = std::vector<std::string>;

namespace {

const EventList kSuccess = {{1, 257}};

// Against the HttpDouble, with the device already signed in unless a test says otherwise.
class AccountDouble : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning());
        option.api = server.url("/api/v1/");
        scriptAuthentication(server);
        signedInDevice(token);
    }

    void signInUser()
    {
        token.userId = "alice";
        token.userPassword = "secret";
        token.authToken = "user-token";
    }

    EventList run(BaseTask& task)
    {
        runTask(task, token, option, recorder);
        return recorder.outcome();
    }

    // Body of the only request made to `path`.
    Json::Value bodyOf(const std::string& path)
    {
        const auto requests = server.requests("/api/v1/" + path);
        EXPECT_EQ(requests.size(), 1u) << path;
        return requests.empty() ? Json::Value() : parse(requests[0].body);
    }

    HttpDouble server;
    TestOption option;
    AuthTokenValue token;
    EventRecorder recorder;
};

}  // namespace

TEST_F(AccountDouble, RegisterJudgesTheErrorMemberOfASuccessAnswer)
{
    struct Case {
        const char* error;
        EventList outcome;
        const char* name;
    };
    const std::vector<Case> cases = {
        {"exist_user_id", {{2, 522}, {1, 259}}, "ERROR_EXIST_USER_ID"},
        {"exist_email", {{2, 523}, {1, 259}}, "ERROR_EXIST_USER_EMAIL"},
        {"invalid_user_id", {{2, 524}, {1, 259}}, "ERROR_INVALID_USER_ID"},
        {"invalid_password", {{2, 525}, {1, 259}}, "ERROR_INVALID_USER_PASSWORD"},
        {"", kSuccess, nullptr},
        {"something_new", kSuccess, nullptr},
    };
    for (const auto& c : cases) {
        HttpDouble local;
        TestOption localOption;
        localOption.api = local.url("/api/v1/");
        Json::Value answer(Json::objectValue);
        if (*c.error)
            answer["error"] = c.error;
        local.answer("/api/v1/user/register", {200, answer.toStyledString()});
        AuthTokenValue localToken;
        signedInDevice(localToken);
        EventRecorder localRecorder;
        RegisterUserTask task("bob", "pw", L"Bob");
        runTask(task, localToken, localOption, localRecorder);
        EXPECT_EQ(localRecorder.outcome(), c.outcome) << c.error;
        if (c.name) {
            EXPECT_EQ(task.stateToString(c.outcome[0].second), c.name);
        }
        // Registration does not sign the user in.
        EXPECT_TRUE(localToken.userId.empty());
    }
}

TEST_F(AccountDouble, RegisterLeavesOutAnEmptyUserName)
{
    server.answer("/api/v1/user/register", {200, "{}"});
    RegisterUserTask task("bob", "pw", L"");
    EXPECT_EQ(run(task), kSuccess);
    const Json::Value body = bodyOf("user/register");
    EXPECT_EQ(body["user_id"].asString(), "bob");
    EXPECT_EQ(body["password"].asString(), "pw");
    EXPECT_FALSE(body.isMember("user_name"));
}

TEST_F(AccountDouble, UnregisterSendsThePasswordAndDropsTheUser)
{
    signInUser();
    server.answer("/api/v1/user/unregister", {200, "{}"});
    UnregisterUserTask task;
    EXPECT_EQ(run(task), kSuccess);
    EXPECT_EQ(bodyOf("user/unregister")["password"].asString(), "secret");
    EXPECT_TRUE(token.userId.empty());
    EXPECT_TRUE(token.userPassword.empty());
    EXPECT_EQ(token.authToken, "user-token");
}

TEST_F(AccountDouble, ChangeUserStoresOnlyANewPassword)
{
    signInUser();
    server.answer("/api/v1/user/update", {200, "{}"});
    {
        ChangeUserTask task("new-secret", L"Alice \u00c5");
        EXPECT_EQ(run(task), kSuccess);
        const Json::Value body = bodyOf("user/update");
        EXPECT_EQ(body["password"].asString(), "new-secret");
        EXPECT_EQ(body["user_name"].asString(), "Alice \xC3\x85");
        EXPECT_EQ(token.userPassword, "new-secret");
    }
    server.clearRequests();
    {
        EventRecorder again;
        ChangeUserTask task("", L"Only The Name");
        runTask(task, token, option, again);
        EXPECT_EQ(again.outcome(), kSuccess);
        EXPECT_FALSE(bodyOf("user/update").isMember("password"));
        EXPECT_EQ(token.userPassword, "new-secret");
    }
}

TEST_F(AccountDouble, ChangeUserFailureKeepsThePassword)
{
    signInUser();
    server.answer("/api/v1/user/update", {400, ""});
    ChangeUserTask task("new-secret", L"");
    EXPECT_EQ(run(task), (EventList{{1, 259}}));
    EXPECT_EQ(token.userPassword, "secret");
}

TEST_F(AccountDouble, DeviceListIsPublishedAsCopyAndPointer)
{
    signInUser();
    server.answer("/api/v1/user/device/list",
                  {200, R"({"device":[{"device_id":"d1","profile_name":"One","os_type":"linux","has_pushid":true},
                                      {"device_id":"d2","device_name":"two"}]})"});
    GetDeviceListTask task(false);
    EXPECT_EQ(run(task), kSuccess);
    const auto devices = boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256));
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].deviceId, "d1");
    EXPECT_EQ(devices[0].profileName, L"One");
    EXPECT_TRUE(devices[0].hasPushId);
    EXPECT_EQ(devices[1].deviceName, "two");
    EXPECT_FALSE(devices[1].hasPushId);
    const auto* pointer = static_cast<const std::vector<DeviceInfo>*>(task.getValuePtr(256));
    ASSERT_NE(pointer, nullptr);
    EXPECT_EQ(pointer->size(), 2u);
    EXPECT_TRUE(task.getValue(257).empty());
    EXPECT_EQ(task.getValuePtr(257), nullptr);
}

TEST_F(AccountDouble, DeviceListAnswerWithoutDevicesIsAnEmptyList)
{
    signInUser();
    server.answer("/api/v1/user/device/list", {200, "{}"});
    GetDeviceListTask task(true);
    EXPECT_EQ(run(task), kSuccess);
    EXPECT_TRUE(boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256)).empty());
}

TEST_F(AccountDouble, DeviceListNeedsASignedInUser)
{
    GetDeviceListTask task(false);
    EXPECT_EQ(run(task), (EventList{{2, 517}, {1, 259}}));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(AccountDouble, FriendSearchSendsTheIdsOrNull)
{
    server.answer("/api/v1/friend/search", {200, R"({"device":[{"device_id":"d9"}]})"});
    {
        QueryFriendTask task({}, false);
        EXPECT_EQ(run(task), kSuccess);
        const Json::Value body = bodyOf("friend/search");
        ASSERT_TRUE(body.isMember("device"));
        EXPECT_TRUE(body["device"].isNull());
    }
    server.clearRequests();
    {
        EventRecorder again;
        QueryFriendTask task({"d1", "d9"}, false);
        runTask(task, token, option, again);
        EXPECT_EQ(again.outcome(), kSuccess);
        const Json::Value ids = bodyOf("friend/search")["device"];
        ASSERT_TRUE(ids.isArray());
        ASSERT_EQ(ids.size(), 2u);
        EXPECT_EQ(ids[0].asString(), "d1");
        EXPECT_EQ(ids[1].asString(), "d9");
        const auto devices = boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256));
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].deviceId, "d9");
    }
}

TEST_F(AccountDouble, DeleteKeyEscapesTheKeyAndNamesAnUnknownKey)
{
    LogCapture log;
    server.answer("/api/v1/key/delete/12+34", {404, ""});
    DeleteKeyTask task(L"12+34");
    EXPECT_EQ(run(task), (EventList{{2, 522}, {1, 259}}));
    EXPECT_EQ(task.stateToString(522), "ERROR_NO_EXIST_KEY");
    EXPECT_TRUE(log.contains(server.url("/api/v1/key/delete/12%2B34")));
}

TEST_F(AccountDouble, UpdateDeviceAfterAFreshSignInMakesNoSecondRequest)
{
    token.authToken.clear();
    server.answer("/api/v1/device/update", {200, R"({"required_version":"2.0","update_message":"Please update"})"});
    UpdateDeviceTask task;
    EXPECT_EQ(run(task), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"auth/device", "device/update"}));
    EXPECT_EQ(boost::any_cast<std::string>(task.getValue(256)), "2.0");
    EXPECT_EQ(*static_cast<const std::string*>(task.getValuePtr(257)), "Please update");
}

TEST_F(AccountDouble, UpdateDeviceWithAValidTokenMakesExactlyOneRequest)
{
    server.answer("/api/v1/device/update", {200, R"({"required_version":"3.1"})"});
    UpdateDeviceTask task;
    EXPECT_EQ(run(task), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"device/update"}));
    EXPECT_EQ(bodyOf("device/update")["push_id"].asString(), "push-test-1");
    EXPECT_EQ(boost::any_cast<std::string>(task.getValue(256)), "3.1");
    EXPECT_EQ(boost::any_cast<std::string>(task.getValue(257)), "");
}

TEST_F(AccountDouble, NeedUpdateIsAnErrorButTheTextsArePublished)
{
    server.answer("/api/v1/device/update",
                  {200, R"({"required_version":"9.0","update_message":"Too old","need_update":true})"});
    UpdateDeviceTask task;
    EXPECT_EQ(run(task), (EventList{{2, 522}, {1, 259}}));
    EXPECT_EQ(task.stateToString(522), "ERROR_NEED_UPDATE");
    EXPECT_EQ(boost::any_cast<std::string>(task.getValue(256)), "9.0");
    EXPECT_EQ(boost::any_cast<std::string>(task.getValue(257)), "Too old");
}

TEST_F(AccountDouble, PictureIsUploadedToTheAddressTheServiceGives)
{
    server.answer("/api/v1/device/upload/profile", {200, "{\"upload_url\":\"" + server.url("/store/pic-1") + "\"}"});
    server.answer("/store/pic-1", {200, ""});
    const std::vector<unsigned char> bytes = {0xFF, 0xD8, 0x00, 0x01, 0xFF, 0xD9};
    UpdateDevicePictureTask task(bytes);
    EXPECT_EQ(run(task), kSuccess);
    const auto puts = server.requests("/store/pic-1");
    ASSERT_EQ(puts.size(), 1u);
    EXPECT_EQ(puts[0].method, "PUT");
    EXPECT_EQ(puts[0].body, std::string(bytes.begin(), bytes.end()));
}

TEST_F(AccountDouble, PictureOutcomes)
{
    TestSupport::TempDir dir;
    const std::string picture = dir.file("me.jpg");
    std::ofstream(picture) << "jpeg";
    struct Case {
        std::wstring path;
        std::string uploadUrl;
        int storeStatus;
        EventList outcome;
        std::size_t profileRequests;
    };
    const std::wstring missing = fromUtf8(dir.file("missing.jpg"));
    const std::vector<Case> cases = {
        {missing, "/store/x", 200, {{1, 259}}, 0},
        {fromUtf8(picture), "", 200, kSuccess, 1},
        {fromUtf8(picture), "/store/x", 403, {{1, 259}}, 1},
    };
    for (const auto& c : cases) {
        HttpDouble local;
        TestOption localOption;
        localOption.api = local.url("/api/v1/");
        const std::string url = c.uploadUrl.empty() ? "" : local.url(c.uploadUrl);
        local.answer("/api/v1/device/upload/profile", {200, "{\"upload_url\":\"" + url + "\"}"});
        local.answer("/store/x", {c.storeStatus, ""});
        AuthTokenValue localToken;
        signedInDevice(localToken);
        EventRecorder localRecorder;
        UpdateDevicePictureTask task(c.path);
        runTask(task, localToken, localOption, localRecorder);
        EXPECT_EQ(localRecorder.outcome(), c.outcome) << c.uploadUrl << " " << c.storeStatus;
        EXPECT_EQ(local.count("/api/v1/device/upload/profile"), c.profileRequests);
        if (c.uploadUrl.empty()) {
            EXPECT_EQ(local.requests().size(), 1u);
        }
    }
}
