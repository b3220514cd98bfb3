#include "ostrel/BaseTask.h"

#include <cctype>
#include <chrono>
#include <locale>

#include <curl/curl.h>

#include "ostrel/BaseInfo.h"
#include "ostrel/Defaults.h"

namespace Ostrel {

std::string BaseTask::apiKey_;

namespace {

// One process-wide lock for the live-task count and the one-time libcurl initialisation.
std::mutex& taskCountMutex()
{
    static std::mutex mutex;
    return mutex;
}
int gTaskCount = 0;
bool gCurlInitialised = false;

std::mutex gApiKeyMutex;

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

BaseTask::BaseTask() : apiUrl_(Defaults::kApiUrl)
{
    serverInfo_.ownerCancelFlag = &cancel_;
    std::lock_guard<std::mutex> lock(taskCountMutex());
    if (!gCurlInitialised) {
        curl_global_init(CURL_GLOBAL_ALL);
        gCurlInitialised = true;
    }
    ++gTaskCount;
}

BaseTask::~BaseTask()
{
    // Owners are expected to cancel and wait before destroying a started task. If one did not, joining
    // here (after cancelling) keeps a thread from outliving the object; a joinable std::thread would
    // otherwise terminate the process, and a detached one would touch freed memory. A thread cannot
    // join itself, so a task destroyed from its own callback detaches that thread instead.
    if (running_)
        cancel();
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        joinOrDetach(runThread_);
        joinOrDetach(eventThread_);
    }
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        callback_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(taskCountMutex());
    --gTaskCount;
}

void BaseTask::joinOrDetach(std::thread& thread)
{
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach();
    else
        thread.join();
}

int BaseTask::liveTaskCount()
{
    std::lock_guard<std::mutex> lock(taskCountMutex());
    return gTaskCount;
}

std::string BaseTask::stateToString(int code)
{
    switch (code) {
    case STATE_FINISHED: return "FINISHED";
    case STATE_ERROR: return "ERROR";
    case FINISHED_SUCCESS: return "FINISHED_SUCCESS";
    case FINISHED_CANCEL: return "FINISHED_CANCEL";
    case FINISHED_ERROR: return "FINISHED_ERROR";
    case ERROR_WRONG_API_KEY: return "ERROR_WRONG_API_KEY";
    case ERROR_SERVER_WRONG_PROTOCOL: return "ERROR_SERVER_WRONG_PROTOCOL";
    case ERROR_SERVER_NETWORK: return "ERROR_SERVER_NETWORK";
    case ERROR_PROXY_AUTHENTICATION: return "ERROR_PROXY_AUTHENTICATION";
    default: return "UNKNOWN";
    }
}

boost::any BaseTask::getValue(int) { return boost::any(); }

const void* BaseTask::getValuePtr(int) { return nullptr; }

void BaseTask::setOptionValues(Option* option)
{
    if (!option)
        return;
    const std::string server = option->getApiServer();
    if (!server.empty())
        apiUrl_ = server;
    useProxy_ = option->isUsingProxyServer();
    proxyUserId_ = option->getProxyUserId();
    proxyPassword_ = option->getProxyPassword();
}

void BaseTask::setAuthTokenValue(AuthTokenValue*) {}

bool BaseTask::isRequiredLogin() { return false; }

void BaseTask::setCallback(EventCallback callback)
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    callback_ = std::move(callback);
}

void BaseTask::start()
{
    std::lock_guard<std::mutex> threadLock(threadMutex_);
    if (running_)
        return;
    // The threads of an earlier run are finishing (the running flag is already clear), so joining
    // them is short and keeps two runs from overlapping.
    joinOrDetach(runThread_);
    joinOrDetach(eventThread_);
    cancel_ = false;
    serverInfo_.cancelFlag = false;
    startTime_ = nowMs();
    std::uint64_t generation;
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        generation = ++generation_;
        running_ = true;
    }
    eventThread_ = std::thread([this, generation] { eventLoop(generation); });
    runThread_ = std::thread([this] { run(); });
}

void BaseTask::wait()
{
    // Taken out under the lock so that a start() from a callback cannot deadlock with this join.
    std::thread run, events;
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        run = std::move(runThread_);
        events = std::move(eventThread_);
    }
    joinOrDetach(run);
    joinOrDetach(events);
}

void BaseTask::cancel()
{
    if (!running_)
        return;
    debugLog("Call cancel()\n");
    cancel_ = true;
    serverInfo_.cancel();
}

bool BaseTask::isRunning() { return running_; }

void BaseTask::run()
{
    int finalDetail;
    if (!checkApiKey()) {
        progress(STATE_ERROR, ERROR_WRONG_API_KEY);
        finalDetail = cancel_ ? FINISHED_CANCEL : FINISHED_ERROR;
    } else {
        const bool ok = action();
        finalDetail = cancel_ ? FINISHED_CANCEL : (ok ? FINISHED_SUCCESS : FINISHED_ERROR);
    }
    progress(STATE_FINISHED, finalDetail);
    finishRun();
}

void BaseTask::finishRun()
{
    // Cleared under the queue mutex so the event thread cannot miss the wake-up and sleep its full wait.
    std::lock_guard<std::mutex> lock(queueMutex_);
    running_ = false;
    queueCond_.notify_all();
}

bool BaseTask::action()
{
    const int r = updateServer();
    if (cancel_)
        return r == 200;
    if (r == -2)
        progress(STATE_ERROR, ERROR_SERVER_WRONG_PROTOCOL);
    else if ((r >= 500 && r <= 599) || r == -1)
        progress(STATE_ERROR, ERROR_SERVER_NETWORK);
    else if (r == -3)
        progress(STATE_ERROR, ERROR_PROXY_AUTHENTICATION);
    return r == 200;
}

void BaseTask::progress(int state, int detail, const void* data)
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    events_.push_back(Event{state, detail, data});
    queueCond_.notify_one();
}

bool BaseTask::hasPendingEvents()
{
    std::lock_guard<std::mutex> lock(queueMutex_);
    return !events_.empty();
}

void BaseTask::eventLoop(std::uint64_t generation)
{
    std::unique_lock<std::mutex> lock(queueMutex_);
    while (generation == generation_) {
        if (events_.empty()) {
            if (!running_)
                break;
            queueCond_.wait_for(lock, std::chrono::seconds(5),
                                [&] { return !events_.empty() || !running_ || generation != generation_; });
            continue;
        }
        // Delivered with the mutex held: a worker posting meanwhile waits for the consumer.
        const Event event = events_.front();
        events_.pop_front();
        try {
            if (callback_)
                callback_(event.state, event.detail, event.data);
            analyticsEvent(event.state, event.detail);
        } catch (...) {
            // An exception leaving this thread would end the process; the event is simply dropped.
        }
    }
}

void BaseTask::analyticsEvent(int state, int detail)
{
    if (state != STATE_ERROR)
        return;
    std::string name = stateToString(detail);
    const std::locale locale;
    for (char& c : name)
        c = std::tolower(c, locale);
    const std::string category = getAnalyticsCategory();
    analytics(category.c_str(), "task_error", name.c_str(), 0);
    flAnalytics(category.c_str(), {{"error", name}});
}

int BaseTask::getServerData(const std::string& url, Json::Value& request, Json::Value& response)
{
    int result = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (cancel_)
            return result;
        sleep(attempt);
        // A cancel during the wait must not start another full request.
        if (cancel_)
            return result;
        serverInfo_.apiKey = apiKey();
        serverInfo_.taskTime = startTime_;
        if (useProxy_) {
            serverInfo_.useProxy = true;
            serverInfo_.proxyUserId = proxyUserId_;
            serverInfo_.proxyPassword = proxyPassword_;
        }
        result = serverInfo_.getData(url, request, response);
        if ((result >= 200 && result <= 299) || (result >= 400 && result <= 499))
            return result;
    }
    return result;
}

int BaseTask::getServerData(const std::string& url, Json::Value& request,
                            std::initializer_list<const BaseInfo*> infos, Json::Value& response)
{
    return getServerData(url, request, std::vector<const BaseInfo*>(infos), response);
}

int BaseTask::getServerData(const std::string& url, Json::Value& request, const std::vector<const BaseInfo*>& infos,
                            Json::Value& response)
{
    for (const BaseInfo* info : infos) {
        if (info)
            info->toJson(request);
    }
    return getServerData(url, request, response);
}

std::string BaseTask::getApiPath(const std::string& name) const { return apiUrl_ + name; }

std::string BaseTask::getApiPath(const std::string& name, const std::string& a) const
{
    return apiUrl_ + name + "/" + a;
}

std::string BaseTask::getApiPath(const std::string& name, const std::string& a, const std::string& b) const
{
    return apiUrl_ + name + "/" + a + "/" + b;
}

void BaseTask::sleep(int seconds)
{
    // Polled in short steps so a cancel ends the wait well within the one second promised.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!cancel_ && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

bool BaseTask::checkApiKey() { return !apiKey().empty(); }

void BaseTask::setApiKey(const char* key)
{
    std::lock_guard<std::mutex> lock(gApiKeyMutex);
    apiKey_ = key ? key : "";
}

std::string BaseTask::apiKey()
{
    std::lock_guard<std::mutex> lock(gApiKeyMutex);
    return apiKey_;
}

void BaseTask::setDebugLogCallback(CharDebugLogHook narrowHook, WCharDebugLogHook wideHook)
{
    Ostrel::setDebugLogCallback(std::move(narrowHook), std::move(wideHook));
}

void BaseTask::setAnalyticsCallback(AnalyticsHook hook) { Ostrel::setAnalyticsCallback(std::move(hook)); }

void BaseTask::setFLAnalyticsCallback(FLAnalyticsHook hook) { Ostrel::setFLAnalyticsCallback(std::move(hook)); }

}  // namespace Ostrel
