#include "ostrel/AuthBaseTask.h"
#include "ostrel/Base64Util.h"
#include "ostrel/CloseNearbyTask.h"
#include "ostrel/LocalDeviceInfo.h"
#include "ostrel/LoginUserTask.h"
#include "ostrel/LogoutUserTask.h"
#include "ostrel/UnregisterUserTask.h"

#include <gtest/gtest.h>

#include <thread>

#include "TaskTestUtil.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::HttpAnswer;
using TestSupport::HttpDouble;
using Paths = std::vector<std::string>;

namespace {

class AuthSequence : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isRunning());
        option.api = server.url("/api/v1/");
        scriptAuthentication(server);
        server.answer("/api/v1/device/nearby/close", {200, "{}"});
    }

    // The simplest authenticated task: one request of its own after the sign-in.
    EventList runClose()
    {
        CloseNearbyTask task;
        runTask(task, token, option, recorder);
        return recorder.outcome();
    }

    HttpDouble server;
    TestOption option;
    AuthTokenValue token;
    EventRecorder recorder;
};

const EventList kSuccess = {{1, 257}};

}  // namespace

TEST_F(AuthSequence, EmptyRecordRegistersSignsInAndRefreshesTheDevice)
{
    EXPECT_EQ(runClose(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"device/create", "auth/device", "device/update", "device/nearby/close"}));
    EXPECT_TRUE(recorder.has(10, 2561));
    EXPECT_TRUE(recorder.has(10, 2562));
    EXPECT_EQ(token.deviceId, "dev-1");
    EXPECT_EQ(token.devicePassword, "pw-1");
    EXPECT_EQ(token.authToken, "device-token");

    const auto requests = server.requests();
    // Registration carries the device record; nothing authenticates it yet.
    const Json::Value create = parse(requests[0].body);
    EXPECT_FALSE(requests[0].hasHeader("Authorization"));
    EXPECT_EQ(create["profile_name"].asString(), "Test PC \xC3\xA9");
    EXPECT_EQ(create["push_id"].asString(), "push-test-1");
    EXPECT_EQ(create["os_type"].asString(), "linux");
    EXPECT_EQ(create["manufacturer"].asString(), "Linux");
    EXPECT_EQ(create["device_uid"].asString(), LocalDeviceInfo().deviceUid);
    // The device signs in with Basic credentials, everything after with the Bearer token.
    EXPECT_EQ(requests[1].header("Authorization"), "Basic " + toBase64(std::string("dev-1:pw-1")));
    EXPECT_EQ(parse(requests[1].body)["device_uid"].asString(), LocalDeviceInfo().deviceUid);
    EXPECT_EQ(requests[2].header("Authorization"), "Bearer device-token");
    EXPECT_EQ(requests[3].header("Authorization"), "Bearer device-token");
}

TEST_F(AuthSequence, StaleDeviceCredentialsAreReplacedInTheSameAuthentication)
{
    token.deviceId = "old-dev";
    token.devicePassword = "old-pw";
    server.answerSequence("/api/v1/auth/device", {{401, ""}, {200, R"({"access_token":"device-token"})"}});

    EXPECT_EQ(runClose(), kSuccess);
    EXPECT_EQ(apiPaths(server),
              (Paths{"auth/device", "device/create", "auth/device", "device/update", "device/nearby/close"}));
    const auto requests = server.requests();
    EXPECT_EQ(requests[0].header("Authorization"), "Basic " + toBase64(std::string("old-dev:old-pw")));
    EXPECT_FALSE(requests[1].hasHeader("Authorization"));
    EXPECT_EQ(token.deviceId, "dev-1");
    EXPECT_EQ(token.devicePassword, "pw-1");
}

TEST_F(AuthSequence, UserWhosePasswordChangedIsDroppedAndTheTaskGoesOnAsTheDevice)
{
    token.deviceId = "dev-1";
    token.devicePassword = "pw-1";
    token.userId = "alice";
    token.userPassword = "old-secret";
    server.answer("/api/v1/auth/user", {401, ""});

    EXPECT_EQ(runClose(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"auth/device", "auth/user", "device/update", "device/nearby/close"}));
    const Json::Value login = parse(server.requests()[1].body);
    EXPECT_EQ(login["user_id"].asString(), "alice");
    EXPECT_EQ(login["password"].asString(), "old-secret");
    EXPECT_TRUE(token.userId.empty());
    EXPECT_TRUE(token.userPassword.empty());
    EXPECT_EQ(token.authToken, "device-token");
    EXPECT_EQ(server.requests()[3].header("Authorization"), "Bearer device-token");
}

TEST_F(AuthSequence, StoredUserSignsInAfterTheDevice)
{
    signedInDevice(token);
    token.authToken.clear();
    token.userId = "alice";
    token.userPassword = "secret";

    EXPECT_EQ(runClose(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"auth/device", "auth/user", "device/update", "device/nearby/close"}));
    EXPECT_EQ(token.authToken, "user-token");
    EXPECT_EQ(server.requests()[3].header("Authorization"), "Bearer user-token");
}

TEST_F(AuthSequence, RejectedTokenIsRenewedAndTheRequestRepeatedOnce)
{
    signedInDevice(token);
    token.authToken = "expired-token";
    server.answerSequence("/api/v1/device/nearby/close", {{401, ""}, {200, "{}"}});

    EXPECT_EQ(runClose(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"device/nearby/close", "auth/device", "device/update", "device/nearby/close"}));
    const auto requests = server.requests();
    EXPECT_EQ(requests[0].header("Authorization"), "Bearer expired-token");
    EXPECT_EQ(requests[3].header("Authorization"), "Bearer device-token");
    EXPECT_EQ(token.authToken, "device-token");
}

TEST_F(AuthSequence, SecondRejectionOfAFreshTokenIsFinal)
{
    signedInDevice(token);
    token.authToken = "expired-token";
    server.answer("/api/v1/device/nearby/close", {401, ""});

    EXPECT_EQ(runClose(), (EventList{{2, 518}, {1, 259}}));
    EXPECT_EQ(apiPaths(server), (Paths{"device/nearby/close", "auth/device", "device/update", "device/nearby/close"}));
}

TEST_F(AuthSequence, StatusOfTheTasksOwnRequestBecomesItsError)
{
    struct Case {
        HttpAnswer answer;
        EventList outcome;
        std::size_t attempts;
    };
    const std::vector<Case> cases = {
        {{403, ""}, {{2, 513}, {1, 259}}, 1},
        {{404, ""}, {{1, 259}}, 1},
        {{200, "not json"}, {{2, 514}, {1, 259}}, 3},
    };
    for (const auto& c : cases) {
        HttpDouble local;
        TestOption localOption;
        localOption.api = local.url("/api/v1/");
        local.answer("/api/v1/device/nearby/close", c.answer);
        AuthTokenValue localToken;
        signedInDevice(localToken);
        EventRecorder localRecorder;
        CloseNearbyTask task;
        runTask(task, localToken, localOption, localRecorder);
        EXPECT_EQ(localRecorder.outcome(), c.outcome) << c.answer.status;
        EXPECT_EQ(local.count("/api/v1/device/nearby/close"), c.attempts) << c.answer.status;
    }
}

TEST_F(AuthSequence, ThreeRejectedRegistrationsEndTheTaskWithAnAuthenticationError)
{
    token.deviceId = "old-dev";
    token.devicePassword = "old-pw";
    server.answer("/api/v1/auth/device", {401, ""});
    server.answer("/api/v1/device/create", {401, ""});

    EXPECT_EQ(runClose(), (EventList{{2, 518}, {1, 259}}));
    // Pass one signs in with the stale device; later passes start from an empty record.
    EXPECT_EQ(apiPaths(server), (Paths{"auth/device", "device/create", "device/create", "device/create"}));
    EXPECT_EQ(server.count("/api/v1/device/nearby/close"), 0u);
}

TEST_F(AuthSequence, RegistrationAnswerWithoutPasswordFailsWithoutErrorEvent)
{
    server.answer("/api/v1/device/create", {200, R"({"device_id":"dev-1"})"});
    EXPECT_EQ(runClose(), (EventList{{1, 259}}));
    EXPECT_EQ(apiPaths(server), (Paths{"device/create"}));
    EXPECT_TRUE(token.deviceId.empty());
}

TEST_F(AuthSequence, TokenRenewedByAnotherTaskIsUsedInsteadOfSigningInAgain)
{
    signedInDevice(token);
    token.authToken = "old-token";
    // The first answer is slow so that "another task" can renew the token meanwhile.
    server.answerSequence("/api/v1/device/nearby/close", {{401, "", 400}, {200, "{}"}});
    std::thread other([this] {
        ASSERT_TRUE(server.waitForRequests(1, 5000));
        std::lock_guard<std::mutex> lock(token.lock);
        token.authToken = "renewed-token";
    });

    EXPECT_EQ(runClose(), kSuccess);
    other.join();
    EXPECT_EQ(apiPaths(server), (Paths{"device/nearby/close", "device/nearby/close"}));
    EXPECT_EQ(server.requests()[1].header("Authorization"), "Bearer renewed-token");
    EXPECT_EQ(token.authToken, "renewed-token");
}

TEST_F(AuthSequence, RequiredSignInMissingMakesNoRequestOfTheTask)
{
    signedInDevice(token);
    UnregisterUserTask task;
    runTask(task, token, option, recorder);
    EXPECT_EQ(recorder.outcome(), (EventList{{2, 517}, {1, 259}}));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(AuthSequence, TwoTasksOnAnEmptySharedRecordCreateOneDevice)
{
    // A slow registration keeps the first task inside the authentication while the second arrives.
    server.answer("/api/v1/device/create", {200, R"({"device_id":"dev-1","password":"pw-1"})", 300});
    CloseNearbyTask first;
    CloseNearbyTask second;
    EventRecorder firstEvents;
    EventRecorder secondEvents;
    useTestApiKey();
    first.setAuthTokenValue(&token);
    second.setAuthTokenValue(&token);
    first.setOptionValues(&option);
    second.setOptionValues(&option);
    firstEvents.attach(first);
    secondEvents.attach(second);
    first.start();
    second.start();
    first.wait();
    second.wait();

    EXPECT_EQ(firstEvents.outcome(), kSuccess);
    EXPECT_EQ(secondEvents.outcome(), kSuccess);
    EXPECT_EQ(server.count("/api/v1/device/create"), 1u);
    EXPECT_EQ(server.count("/api/v1/auth/device"), 1u);
    EXPECT_EQ(server.count("/api/v1/device/nearby/close"), 2u);
    for (const auto& r : server.requests("/api/v1/device/nearby/close"))
        EXPECT_EQ(r.header("Authorization"), "Bearer device-token");
}

TEST_F(AuthSequence, CodesAreNamedThroughTheTask)
{
    CloseNearbyTask task;
    EXPECT_EQ(task.stateToString(10), "PREPARING");
    EXPECT_EQ(task.stateToString(517), "ERROR_REQUIRED_LOGIN");
    EXPECT_EQ(task.stateToString(518), "ERROR_SERVER_AUTHENTICATION");
    EXPECT_EQ(task.stateToString(2561), "PREPARING_UPDATED_DEVICE_ID");
    EXPECT_EQ(task.stateToString(2562), "PREPARING_UPDATED_AUTH_TOKEN");
    EXPECT_EQ(task.stateToString(513), "ERROR_WRONG_API_KEY");
    EXPECT_EQ(task.stateToString(4242), "UNKNOWN");
}

TEST_F(AuthSequence, LoginStoresTheUserAndItsToken)
{
    signedInDevice(token);
    LoginUserTask task("alice", "secret");
    runTask(task, token, option, recorder);
    EXPECT_EQ(recorder.outcome(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"auth/user"}));
    EXPECT_EQ(server.requests()[0].header("Authorization"), "Bearer device-token");
    EXPECT_EQ(token.userId, "alice");
    EXPECT_EQ(token.userPassword, "secret");
    EXPECT_EQ(token.authToken, "user-token");
}

TEST_F(AuthSequence, LoginOnAnEmptyRecordRegistersTheDeviceFirst)
{
    LoginUserTask task("alice", "secret");
    runTask(task, token, option, recorder);
    EXPECT_EQ(recorder.outcome(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"device/create", "auth/device", "device/update", "auth/user"}));
    EXPECT_EQ(token.authToken, "user-token");
}

TEST_F(AuthSequence, LoginFailuresClearTheUserAndSayWhy)
{
    struct Case {
        int status;
        EventList outcome;
    };
    const std::vector<Case> cases = {
        {401, {{2, 518}, {1, 259}}},
        {403, {{2, 513}, {1, 259}}},
        {500, {{2, 515}, {1, 259}}},
    };
    for (const auto& c : cases) {
        HttpDouble local;
        TestOption localOption;
        localOption.api = local.url("/api/v1/");
        local.answer("/api/v1/auth/user", {c.status, ""});
        AuthTokenValue localToken;
        signedInDevice(localToken);
        EventRecorder localRecorder;
        LoginUserTask task("alice", "wrong");
        runTask(task, localToken, localOption, localRecorder);
        EXPECT_EQ(localRecorder.outcome(), c.outcome) << c.status;
        EXPECT_TRUE(localToken.userId.empty()) << c.status;
        EXPECT_TRUE(localToken.userPassword.empty()) << c.status;
        EXPECT_EQ(localToken.authToken, "device-token") << c.status;
    }
}

TEST_F(AuthSequence, LogoutFallsBackToTheDeviceSignIn)
{
    signedInDevice(token);
    token.userId = "alice";
    token.userPassword = "secret";
    token.authToken = "user-token";
    server.answer("/api/v1/auth/logout", {200, "{}"});

    LogoutUserTask task;
    runTask(task, token, option, recorder);
    EXPECT_EQ(recorder.outcome(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"auth/logout", "auth/device", "device/update"}));
    EXPECT_EQ(server.requests()[0].header("Authorization"), "Bearer user-token");
    EXPECT_TRUE(token.userId.empty());
    EXPECT_EQ(token.authToken, "device-token");
}

TEST_F(AuthSequence, LogoutThatTheServiceRejectsStillDropsTheUserToken)
{
    signedInDevice(token);
    token.userId = "alice";
    token.userPassword = "secret";
    token.authToken = "expired-user-token";
    server.answer("/api/v1/auth/logout", {401, ""});

    LogoutUserTask task;
    runTask(task, token, option, recorder);
    EXPECT_EQ(recorder.outcome(), kSuccess);
    EXPECT_EQ(apiPaths(server), (Paths{"auth/logout", "auth/device", "device/update"}));
    EXPECT_EQ(token.authToken, "device-token");
    EXPECT_TRUE(token.userPassword.empty());
}
