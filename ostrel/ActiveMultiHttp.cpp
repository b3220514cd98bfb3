#include "ostrel/ActiveMultiHttp.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "ostrel/ActiveHttp.h"

namespace Ostrel {

bool ActiveMultiHttp::action(unsigned long n)
{
    if (n < 1)
        n = 1;  // a zero from the service must not stall the pass
    std::mutex queueMutex;
    auto next = queue_.begin();
    bool ok = true;

    // Each worker takes the next file as soon as its previous one ended, so at most n files move at
    // once and no slot waits on a poll. A failure stops every worker from taking another file.
    auto worker = [&] {
        // One sub-channel per connection slot, reused from file to file so its connection stays open.
        ActiveHttp sub;
        sub.setRetryTime(retryTime());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_.insert(&sub);
            if (isCancelled())
                sub.cancel();
        }
        sub.setProgressCallback([this](const std::string& url, unsigned long position, unsigned long total,
                                       EventType kind) { progress(url, position, total, kind); });
        for (;;) {
            const FileInfo* file = nullptr;
            {
                std::lock_guard<std::mutex> lock(queueMutex);
                if (!ok || isCancelled() || next == queue_.end())
                    break;
                file = &*next;
                ++next;
            }
            const bool result = transfer(sub, *file);
            if (!result) {
                std::lock_guard<std::mutex> lock(queueMutex);
                ok = false;
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        running_.erase(&sub);
    };
    const size_t count = std::min<size_t>(n, queue_.size());
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (size_t i = 0; i < count; ++i)
        threads.emplace_back(worker);
    for (std::thread& t : threads)
        t.join();
    return ok && !isCancelled();
}

bool ActiveMultiHttp::transfer(const FileInfo& file)
{
    ActiveHttp sub;
    sub.setRetryTime(retryTime());
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.insert(&sub);
        if (isCancelled())
            sub.cancel();
    }
    sub.setProgressCallback([this](const std::string& url, unsigned long position, unsigned long total,
                                   EventType kind) { progress(url, position, total, kind); });
    const bool result = transfer(sub, file);
    std::lock_guard<std::mutex> lock(mutex_);
    running_.erase(&sub);
    return result;
}

bool ActiveMultiHttp::transfer(ActiveHttp& sub, const FileInfo& file)
{
    ++moving_;
    bool result = false;
    if (file.read)
        result = sub.send(file.read, static_cast<unsigned long>(file.offset), static_cast<unsigned long>(file.size),
                          file.url);
    else if (file.write)
        result = sub.recv(file.url, static_cast<unsigned long>(file.size), file.write,
                          static_cast<unsigned long>(file.offset));
    if (!result && sub.isConnectError())
        connectError_ = true;
    --moving_;
    return result;
}

void ActiveMultiHttp::cancel()
{
    Transfer::cancel();
    std::lock_guard<std::mutex> lock(mutex_);
    for (ActiveHttp* sub : running_)
        sub->cancel();
}

size_t ActiveMultiHttp::runningCount() const
{
    return moving_.load();
}

}  // namespace Ostrel
