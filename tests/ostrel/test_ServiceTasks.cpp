#include "ostrel/ChangeUserTask.h"
#include "ostrel/CloseNearbyTask.h"
#include "ostrel/DeleteKeyTask.h"
#include "ostrel/GetDeviceListTask.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/LoginUserTask.h"
#include "ostrel/LogoutUserTask.h"
#include "ostrel/PublishNearbyTask.h"
#include "ostrel/PushKeyTask.h"
#include "ostrel/PushListenerTask.h"
#include "ostrel/QueryFriendTask.h"
#include "ostrel/QueryPushKeyTask.h"
#include "ostrel/RegisterUserTask.h"
#include "ostrel/ReplyPushKeyTask.h"
#include "ostrel/SearchNearbyTask.h"
#include "ostrel/StringUtil.h"
#include "ostrel/UnregisterUserTask.h"
#include "ostrel/UpdateDevicePictureTask.h"
#include "ostrel/UpdateDeviceTask.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TaskTestUtil.h"
#include "support/ServiceProcess.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::ServiceProcess;

namespace {

const EventList kSuccess = {{1, 257}};

// Registers a one-file direct key as the device of the token record, so there is something to push.
class CreateKeyProbe : public AuthBaseTask {
public:
    std::wstring key;

protected:
    int updateServer() override
    {
        Json::Value request(Json::objectValue);
        request["mode"] = "direct";
        Json::Value file(Json::objectValue);
        file["name"] = "notes.txt";
        file["size"] = Json::UInt64(3);
        request["file"].append(file);
        Json::Value response;
        const int r = getServerData(getApiPath("key/create"), request, response);
        key = getJsonValue(response, "key", L"");
        return r;
    }
    std::string getAnalyticsCategory() override { return "test_create_key"; }
};

// One client of the real service: its own credential record and options.
struct Client {
    explicit Client(const ServiceProcess& service)
    {
        option.api = service.apiUrl();
        option.push = service.pushUrl();
    }
    EventList run(BaseTask& task)
    {
        EventRecorder recorder;
        runTask(task, token, option, recorder);
        return recorder.outcome();
    }
    void signIn()
    {
        UpdateDeviceTask task;
        ASSERT_EQ(run(task), kSuccess);
        ASSERT_FALSE(token.deviceId.empty());
    }
    TestOption option;
    AuthTokenValue token;
};

class ServiceTasks : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(service.running()); }
    ServiceProcess service;
};

}  // namespace

TEST_F(ServiceTasks, StaleDeviceIsRegisteredAgain)
{
    Client client(service);
    client.token.deviceId = "not-a-device";
    client.token.devicePassword = "wrong";
    EventRecorder recorder;
    UpdateDeviceTask task;
    runTask(task, client.token, client.option, recorder);
    EXPECT_EQ(recorder.outcome(), kSuccess);
    EXPECT_TRUE(recorder.has(10, 2561));
    EXPECT_TRUE(recorder.has(10, 2562));
    EXPECT_NE(client.token.deviceId, "not-a-device");
    EXPECT_FALSE(client.token.authToken.empty());
}

TEST_F(ServiceTasks, AccountLifecycle)
{
    Client client(service);
    {
        RegisterUserTask task("alice01", "secret1", L"Alice");
        EXPECT_EQ(client.run(task), kSuccess);
        EXPECT_TRUE(client.token.userId.empty());
    }
    struct Refusal {
        std::string id;
        std::string password;
        int detail;
    };
    for (const auto& c : std::vector<Refusal>{{"alice01", "secret1", 522}, {"a", "secret1", 524}, {"bob01", "123", 525}}) {
        RegisterUserTask task(c.id, c.password, L"");
        EXPECT_EQ(client.run(task), (EventList{{2, c.detail}, {1, 259}})) << c.id;
    }
    {
        LoginUserTask task("alice01", "wrong-password");
        EXPECT_EQ(client.run(task), (EventList{{2, 518}, {1, 259}}));
        EXPECT_TRUE(client.token.userId.empty());
    }
    {
        LoginUserTask task("alice01", "secret1");
        EXPECT_EQ(client.run(task), kSuccess);
        EXPECT_EQ(client.token.userId, "alice01");
    }
    {
        GetDeviceListTask task(false);
        EXPECT_EQ(client.run(task), kSuccess);
        const auto devices = boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256));
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].deviceId, client.token.deviceId);
        EXPECT_EQ(devices[0].profileName, client.option.profileName);
    }
    {
        QueryFriendTask task({client.token.deviceId, "unknown-device"}, false);
        EXPECT_EQ(client.run(task), kSuccess);
        const auto devices = boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256));
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].deviceId, client.token.deviceId);
    }
    {
        ChangeUserTask task("secret2", L"Alice Two");
        EXPECT_EQ(client.run(task), kSuccess);
        EXPECT_EQ(client.token.userPassword, "secret2");
    }
    {
        LogoutUserTask task;
        EXPECT_EQ(client.run(task), kSuccess);
        EXPECT_TRUE(client.token.userId.empty());
        GetDeviceListTask list(false);
        EXPECT_EQ(client.run(list), (EventList{{2, 517}, {1, 259}}));
    }
    {
        // The changed password is the one that works now.
        LoginUserTask task("alice01", "secret2");
        EXPECT_EQ(client.run(task), kSuccess);
        UnregisterUserTask unregister;
        EXPECT_EQ(client.run(unregister), kSuccess);
        EXPECT_TRUE(client.token.userId.empty());
        LoginUserTask again("alice01", "secret2");
        EXPECT_EQ(client.run(again), (EventList{{2, 518}, {1, 259}}));
    }
}

TEST_F(ServiceTasks, DeviceRecordAndPicture)
{
    Client client(service);
    {
        UpdateDeviceTask task;
        EXPECT_EQ(client.run(task), kSuccess);
        EXPECT_EQ(boost::any_cast<std::string>(task.getValue(256)), "");
    }
    const std::vector<unsigned char> picture = {0xFF, 0xD8, 0xFF, 0xE0, 'j', 'p', 'g', 0xFF, 0xD9};
    {
        UpdateDevicePictureTask task(picture);
        EXPECT_EQ(client.run(task), kSuccess);
    }
    {
        QueryFriendTask task({client.token.deviceId}, true);
        EXPECT_EQ(client.run(task), kSuccess);
        const auto devices = boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256));
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_FALSE(devices[0].profileUrl.empty());
        EXPECT_EQ(devices[0].picture, picture);
    }
}

TEST_F(ServiceTasks, DeleteKey)
{
    Client client(service);
    CreateKeyProbe create;
    ASSERT_EQ(client.run(create), kSuccess);
    ASSERT_FALSE(create.key.empty());
    DeleteKeyTask remove(create.key);
    EXPECT_EQ(client.run(remove), kSuccess);
    DeleteKeyTask again(create.key);
    EXPECT_EQ(client.run(again), (EventList{{2, 522}, {1, 259}}));
}

TEST_F(ServiceTasks, NearbyPublishSearchAndClose)
{
    Client shown(service);
    Client looking(service);
    looking.signIn();
    {
        PublishNearbyTask task;
        EXPECT_EQ(shown.run(task), kSuccess);
        EXPECT_EQ(boost::any_cast<int>(task.getValue(256)), 600);
    }
    auto search = [&](std::vector<std::string> prefer) {
        SearchNearbyTask task(prefer, false);
        EXPECT_EQ(looking.run(task), kSuccess);
        std::vector<std::string> ids;
        for (const auto& d : boost::any_cast<std::vector<DeviceInfo>>(task.getValue(256)))
            ids.push_back(d.deviceId);
        return ids;
    };
    EXPECT_EQ(search({}), std::vector<std::string>{shown.token.deviceId});
    EXPECT_EQ(search({shown.token.deviceId}), std::vector<std::string>{shown.token.deviceId});
    {
        CloseNearbyTask task;
        EXPECT_EQ(shown.run(task), kSuccess);
    }
    EXPECT_TRUE(search({}).empty());
}

TEST_F(ServiceTasks, PushedKeyWakesTheListenerAndCancelEndsItsWait)
{
    Client sender(service);
    Client receiver(service);
    receiver.signIn();
    CreateKeyProbe create;
    ASSERT_EQ(sender.run(create), kSuccess);

    PushListenerTask listener(true);
    std::mutex mutex;
    std::vector<std::pair<int, std::wstring>> notifications;
    EventRecorder recorder;
    useTestApiKey();
    listener.setAuthTokenValue(&receiver.token);
    listener.setOptionValues(&receiver.option);
    listener.setCallback([&](int state, int detail, const void* data) {
        // Recorded after the payload is stored: the test reads the list as soon as the recorder sees the event.
        if (state == 100) {
            std::lock_guard<std::mutex> lock(mutex);
            notifications.emplace_back(detail, *static_cast<const std::wstring*>(data));
        }
        recorder.add(state, detail);
    });
    listener.start();
    // Push only once the listener is parked in its long poll, so the push is what wakes it: the service
    // logs a request when it is answered, so the first fetch shows and the wait follows at once.
    bool fetched = false;
    for (int i = 0; i < 250 && !fetched; ++i) {
        fetched = service.log().find("push/v1/get") != std::string::npos;
        if (!fetched)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(fetched) << service.log();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    PushKeyTask push(create.key, receiver.token.deviceId, L"for you", "");
    EXPECT_EQ(sender.run(push), kSuccess);
    EXPECT_TRUE(recorder.waitFor(PushListenerTask::NOTIFICATION_RECEIVE_KEY_REALTIME, 5000));
    {
        std::lock_guard<std::mutex> lock(mutex);
        ASSERT_EQ(notifications.size(), 1u);
        EXPECT_EQ(notifications[0].second, create.key);
    }

    QueryPushKeyTask query(create.key);
    EXPECT_EQ(receiver.run(query), kSuccess);
    const auto info = boost::any_cast<QueryPushKeyTask::KeyInfo>(query.getValue(256));
    EXPECT_EQ(info.key, create.key);
    EXPECT_EQ(info.deviceId, sender.token.deviceId);
    EXPECT_EQ(info.fileNumber, 1);
    EXPECT_EQ(info.fileSize, 3u);
    EXPECT_EQ(info.comment, L"for you");
    ReplyPushKeyTask reply(create.key, true);
    EXPECT_EQ(receiver.run(reply), kSuccess);

    // The listener is back in a wait; cancelling it must not take the rest of the poll.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto begin = std::chrono::steady_clock::now();
    listener.cancel();
    listener.wait();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1000));
    EXPECT_EQ(recorder.outcome(), (EventList{{1, 258}}));
}

TEST_F(ServiceTasks, OfflineDeviceGetsThePushOnItsFirstFetch)
{
    Client sender(service);
    Client receiver(service);
    receiver.signIn();
    CreateKeyProbe create;
    ASSERT_EQ(sender.run(create), kSuccess);
    PushKeyTask push(create.key, receiver.token.deviceId, L"", "");
    ASSERT_EQ(sender.run(push), kSuccess);

    PushListenerTask listener(false);
    EventRecorder recorder;
    runTask(listener, receiver.token, receiver.option, recorder);
    EXPECT_TRUE(recorder.has(100, PushListenerTask::NOTIFICATION_RECEIVE_KEY));
    EXPECT_FALSE(recorder.has(100, PushListenerTask::NOTIFICATION_RECEIVE_KEY_REALTIME));
    EXPECT_EQ(recorder.outcome(), kSuccess);

    QueryPushKeyTask unknown(L"000000x");
    EXPECT_EQ(receiver.run(unknown), (EventList{{2, 522}, {1, 259}}));
}
