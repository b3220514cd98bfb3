#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <json/reader.h>
#include <json/value.h>

#include "ostrel/AuthTokenValue.h"
#include "ostrel/BaseTask.h"
#include "ostrel/Defaults.h"
#include "ostrel/PushListenerTask.h"
#include "support/HttpDouble.h"

namespace TaskTest {

// One option object for every task level, pointed at a test server.
class TestOption : public Ostrel::PushListenerTask::Option {
public:
    std::string api;
    std::string push;
    std::string pushId = "push-test-1";
    std::wstring profileName = L"Test PC \u00e9";

    std::string getApiServer() override { return api; }
    std::string getPushId() override { return pushId; }
    std::wstring getProfileName() override { return profileName; }
    std::string getPushServer() override { return push; }
};

using EventList = std::vector<std::pair<int, int>>;

// Collects the (state, detail) pairs a task delivers, in order.
class EventRecorder {
public:
    void attach(Ostrel::BaseTask& task)
    {
        task.setCallback([this](int state, int detail, const void*) { add(state, detail); });
    }
    void add(int state, int detail)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.emplace_back(state, detail);
        changed_.notify_all();
    }
    EventList events() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    // Waits until an event with this detail has arrived.
    bool waitFor(int detail, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const auto& e : events_)
                if (e.second == detail)
                    return true;
            return false;
        });
    }
    bool has(int state, int detail) const
    {
        for (const auto& e : events())
            if (e.first == state && e.second == detail)
                return true;
        return false;
    }
    // The ERROR and FINISHED events only, which is what most checks care about.
    EventList outcome() const
    {
        EventList result;
        for (const auto& e : events())
            if (e.first == 1 || e.first == 2)
                result.push_back(e);
        return result;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    EventList events_;
};

inline void useTestApiKey() { Ostrel::BaseTask::setApiKey(Ostrel::Defaults::kApiKey); }

// Wires a task to the option, the shared record and a recorder, runs it to its end.
inline void runTask(Ostrel::BaseTask& task, Ostrel::AuthTokenValue& token, TestOption& option,
                    EventRecorder& recorder)
{
    useTestApiKey();
    task.setAuthTokenValue(&token);
    task.setOptionValues(&option);
    recorder.attach(task);
    task.start();
    task.wait();
}

inline Json::Value parse(const std::string& body)
{
    Json::Value value;
    Json::Reader reader;
    if (!reader.parse(body, value))
        return Json::Value();
    return value;
}

// The API paths the double saw, relative to "/api/v1/", in arrival order.
inline std::vector<std::string> apiPaths(const TestSupport::HttpDouble& server)
{
    std::vector<std::string> paths;
    const std::string prefix = "/api/v1/";
    for (const auto& r : server.requests())
        paths.push_back(r.path.compare(0, prefix.size(), prefix) == 0 ? r.path.substr(prefix.size()) : r.path);
    return paths;
}

// Answers of a service that knows one device (dev-1/pw-1) and one user (alice/secret).
inline void scriptAuthentication(TestSupport::HttpDouble& server)
{
    server.answer("/api/v1/device/create", {200, R"({"device_id":"dev-1","password":"pw-1"})"});
    server.answer("/api/v1/auth/device", {200, R"({"access_token":"device-token"})"});
    server.answer("/api/v1/auth/user", {200, R"({"access_token":"user-token"})"});
    server.answer("/api/v1/device/update", {200, "{}"});
}

inline void signedInDevice(Ostrel::AuthTokenValue& token)
{
    token.deviceId = "dev-1";
    token.devicePassword = "pw-1";
    token.authToken = "device-token";
}

}  // namespace TaskTest

namespace TaskTest {

// Captures the engine's debug lines while alive.
class LogCapture {
public:
    LogCapture()
    {
        Ostrel::setDebugLogCallback([this](int, const char* text) { add(text ? text : ""); },
                                    [](int, const wchar_t*) {});
    }
    ~LogCapture() { Ostrel::setDebugLogCallback(nullptr, nullptr); }
    void add(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(line);
    }
    bool contains(const std::string& text) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& line : lines_)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace TaskTest
