#include "TaskRunner.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/BaseTask.h"
#include "CliContext.h"

std::atomic<bool> TaskRunner::interrupted_{false};

namespace {

// A cancel that does not finish in this time is abandoned: the partial files stay as they are.
constexpr int kCancelGraceSeconds = 20;

sigset_t stopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

bool TaskRunner::Result::hasError(int detail) const
{
    return std::find(errors.begin(), errors.end(), detail) != errors.end();
}

TaskRunner::TaskRunner(CliContext& context) : context_(context) {}

void TaskRunner::blockSignals()
{
    sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

bool TaskRunner::interrupted() { return interrupted_; }

bool TaskRunner::pause(int ms)
{
    blockSignals();
    const sigset_t set = stopSignals();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!interrupted_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        timespec timeout{static_cast<time_t>(left.count() / 1000), static_cast<long>(left.count() % 1000) * 1000000L};
        const int sig = sigtimedwait(&set, nullptr, &timeout);
        if (sig == SIGINT || sig == SIGTERM)
            interrupted_ = true;
    }
    return false;
}

TaskRunner::Result TaskRunner::run(Ostrel::BaseTask& task, const EventHandler& onEvent, const Tick& onTick,
                                   int tickMs)
{
    Result result;
    std::atomic<bool> finished{false};
    cancelRequested_ = false;
    task.setCallback([&](int state, int detail, const void* data) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (state == Ostrel::BaseTask::STATE_ERROR)
                result.errors.push_back(detail);
            if (state == Ostrel::BaseTask::STATE_FINISHED)
                result.finish = detail;
        }
        // A new device id must survive even if this process is killed a moment later.
        if (state == Ostrel::AuthBaseTask::STATE_PREPARING && detail == Ostrel::AuthBaseTask::PREPARING_UPDATED_DEVICE_ID)
            context_.saveCredentials();
        if (onEvent)
            onEvent(state, detail, data);
        if (state == Ostrel::BaseTask::STATE_FINISHED)
            finished = true;
    });
    blockSignals();
    context_.attach(task);
    if (interrupted_) {
        result.finish = Ostrel::BaseTask::FINISHED_CANCEL;
        result.interrupted = true;
        return result;
    }
    task.start();

    const sigset_t set = stopSignals();
    bool cancelled = false;
    auto cancelStarted = std::chrono::steady_clock::now();
    while (!finished) {
        timespec timeout{tickMs / 1000, (tickMs % 1000) * 1000000L};
        const int sig = sigtimedwait(&set, nullptr, &timeout);
        if (sig == SIGINT || sig == SIGTERM) {
            if (interrupted_ && cancelled) {
                std::fprintf(stderr, "\ntrovanti-cli: interrupted again, stopping now\n");
                _exit(130);
            }
            interrupted_ = true;
        }
        if (!cancelled && (interrupted_ || cancelRequested_)) {
            cancelled = true;
            cancelStarted = std::chrono::steady_clock::now();
            task.cancel();
        }
        if (cancelled && std::chrono::steady_clock::now() - cancelStarted > std::chrono::seconds(kCancelGraceSeconds)) {
            std::fprintf(stderr, "\ntrovanti-cli: the transfer did not stop in time; partial files are kept\n");
            _exit(interrupted_ ? 130 : 1);
        }
        if (onTick && !finished)
            onTick();
    }
    task.wait();
    task.setCallback(nullptr);
    context_.saveCredentials();
    std::lock_guard<std::mutex> lock(mutex_);
    result.interrupted = interrupted_;
    return result;
}
