#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "ostrel/BaseTask.h"

// Records the events a task delivers, with the time each one arrived.
class EventLog {
public:
    struct Entry {
        int state;
        int detail;
        std::chrono::steady_clock::time_point at;
    };

    Ostrel::BaseTask::EventCallback callback(std::function<void(int, int)> extra = nullptr)
    {
        return [this, extra](int state, int detail, const void*) {
            if (extra)
                extra(state, detail);
            std::lock_guard<std::mutex> lock(mutex_);
            entries_.push_back({state, detail, std::chrono::steady_clock::now()});
            changed_.notify_all();
        };
    }
    std::vector<std::pair<int, int>> codes() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::pair<int, int>> out;
        for (const Entry& e : entries_)
            out.emplace_back(e.state, e.detail);
        return out;
    }
    std::vector<Entry> entries() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return entries_;
    }
    bool waitForState(int state, int timeoutMs) const
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const Entry& e : entries_)
                if (e.state == state)
                    return true;
            return false;
        });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Entry> entries_;
};

// A concrete task whose server step is supplied by the test; protected helpers are opened up.
class ProbeTask : public Ostrel::BaseTask {
public:
    std::function<int(ProbeTask&)> work;

    ~ProbeTask() override
    {
        cancel();
        wait();
    }

    int updateServer() override { return work ? work(*this) : 200; }
    std::string getAnalyticsCategory() override { return "task_probe"; }

    using BaseTask::analyticsEvent;
    using BaseTask::getApiPath;
    using BaseTask::getServerData;
    using BaseTask::isCancelled;
    using BaseTask::progress;
    using BaseTask::serverInfo_;
    using BaseTask::sleep;
    using BaseTask::startTime;
};
