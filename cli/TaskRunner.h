#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace Ostrel {
class BaseTask;
}
class CliContext;

// Runs one engine task to its end on the main thread's behalf: delivers its events to a handler,
// calls a tick function a few times a second (progress redraws, side tasks), cancels the task
// cleanly on SIGINT or SIGTERM, and saves the credential record as soon as it changes.
class TaskRunner {
public:
    struct Result {
        int finish = 0;            // 257 success, 258 cancelled, 259 failed
        std::vector<int> errors;   // ERROR details in arrival order
        bool interrupted = false;  // ended by a signal
        bool hasError(int detail) const;
    };
    using EventHandler = std::function<void(int state, int detail, const void* data)>;
    using Tick = std::function<void()>;

    explicit TaskRunner(CliContext& context);

    // Blocks SIGINT and SIGTERM in the calling thread and every thread created after it, so that only
    // the runner's sigtimedwait sees them. Call before the first engine task starts.
    static void blockSignals();
    // True once SIGINT or SIGTERM arrived in any run of this process.
    static bool interrupted();
    // Waits up to `ms`, returning false at once when SIGINT or SIGTERM arrives.
    static bool pause(int ms);

    Result run(Ostrel::BaseTask& task, const EventHandler& onEvent, const Tick& onTick = Tick(), int tickMs = 200);
    // Asks the running task to stop (from any thread, e.g. an event handler); the result is then
    // "cancelled" without `interrupted`.
    void requestCancel() { cancelRequested_ = true; }

private:
    CliContext& context_;
    std::atomic<bool> cancelRequested_{false};
    std::mutex mutex_;
    static std::atomic<bool> interrupted_;
};
