#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <boost/any.hpp>
#include <json/value.h>

#include "ostrel/LogFunc.h"
#include "ostrel/ServerInfo.h"

namespace Ostrel {

struct AuthTokenValue;
class BaseInfo;

// One unit of work against the service, run on a thread of its own and reported as numbered events
// (state, detail, data) that an event thread delivers in posting order. Every run ends with exactly one
// FINISHED event. Owners: construct, set options and callback, start, optionally cancel, always wait
// before destruction.
//
// The destructor cancels a run still in progress and joins both threads, so a forgotten wait neither
// terminates the process (a joinable std::thread would) nor leaves a thread using freed memory. It
// cannot protect the derived part, which is gone by then while the threads may still call its virtual
// steps; a derived task that may be destroyed while running calls cancel() and wait() in its own
// destructor.
class BaseTask {
public:
    struct Event {
        std::int32_t state;
        std::int32_t detail;
        const void* data;
    };

    enum State { STATE_FINISHED = 1, STATE_ERROR = 2 };
    enum Detail {
        FINISHED_SUCCESS = 257,
        FINISHED_CANCEL = 258,
        FINISHED_ERROR = 259,
        ERROR_WRONG_API_KEY = 513,
        ERROR_SERVER_WRONG_PROTOCOL = 514,
        ERROR_SERVER_NETWORK = 515,
        ERROR_PROXY_AUTHENTICATION = 516,
    };

    // Settings supplied by the application. Descendant interfaces inherit this one virtually so one
    // application class can implement all of them.
    class Option {
    public:
        virtual std::string getApiServer() = 0;
        virtual bool isUsingProxyServer() { return false; }
        virtual std::string getProxyUserId() { return std::string(); }
        virtual std::string getProxyPassword() { return std::string(); }
        virtual ~Option() = default;
    };

    // Runs on the event thread with the queue lock held; it must not throw nor post to its own task.
    using EventCallback = std::function<void(int state, int detail, const void* data)>;

    BaseTask();
    BaseTask(const BaseTask&) = delete;
    BaseTask& operator=(const BaseTask&) = delete;

    virtual std::string stateToString(int code);
    virtual boost::any getValue(int key);
    virtual const void* getValuePtr(int key);
    virtual void setOptionValues(Option* option);
    virtual void setAuthTokenValue(AuthTokenValue* token);
    virtual bool isRequiredLogin();
    virtual void start();
    virtual void wait();
    virtual void cancel();
    virtual bool isRunning();
    virtual ~BaseTask();

    // Set before start; an empty callback means events are not delivered (analytics still runs).
    void setCallback(EventCallback callback);

    static void setApiKey(const char* key);
    static std::string apiKey();
    static void setDebugLogCallback(CharDebugLogHook narrowHook, WCharDebugLogHook wideHook);
    static void setAnalyticsCallback(AnalyticsHook hook);
    static void setFLAnalyticsCallback(FLAnalyticsHook hook);
    // Number of task objects alive in the process.
    static int liveTaskCount();

protected:
    virtual void run();
    virtual bool action();
    // Returns an HTTP status or a negative client result.
    virtual int updateServer() = 0;
    virtual std::string getAnalyticsCategory() = 0;
    virtual void analyticsEvent(int state, int detail);

    void progress(int state, int detail, const void* data = nullptr);
    // One REST exchange with `url` (usually from getApiPath) with up to three attempts (waits of 0, 1 and 2 s, cancellable); 2xx and 4xx
    // are returned at once.
    int getServerData(const std::string& url, Json::Value& request, Json::Value& response);
    int getServerData(const std::string& url, Json::Value& request, std::initializer_list<const BaseInfo*> infos,
                      Json::Value& response);
    int getServerData(const std::string& url, Json::Value& request, const std::vector<const BaseInfo*>& infos,
                      Json::Value& response);
    // Base URL followed by the parts, joined by "/"; nothing is escaped here.
    std::string getApiPath(const std::string& name) const;
    std::string getApiPath(const std::string& name, const std::string& a) const;
    std::string getApiPath(const std::string& name, const std::string& a, const std::string& b) const;
    // Sleeps up to `seconds`, returning early once the task is cancelled.
    void sleep(int seconds);
    bool checkApiKey();
    bool isCancelled() const { return cancel_; }
    // True while events wait for delivery (progress reports are dropped then, so the queue stays short).
    bool hasPendingEvents();
    std::int64_t startTime() const { return startTime_; }

    ServerInfo serverInfo_;

private:
    void eventLoop(std::uint64_t generation);
    void finishRun();
    static void joinOrDetach(std::thread& thread);

    EventCallback callback_;
    std::atomic<bool> cancel_{false};
    bool useProxy_ = false;
    std::string proxyUserId_;
    std::string proxyPassword_;
    std::atomic<std::int64_t> startTime_{0};
    std::thread runThread_;
    std::atomic<bool> running_{false};
    std::string apiUrl_;
    std::thread eventThread_;
    std::deque<Event> events_;
    std::mutex queueMutex_;
    std::condition_variable queueCond_;
    // Bumped by every start under the queue mutex, so an event thread left from an earlier run stops.
    std::uint64_t generation_ = 0;
    // Serialises start, wait and destruction, which all touch the thread objects.
    std::mutex threadMutex_;

    static std::string apiKey_;
};

}  // namespace Ostrel
