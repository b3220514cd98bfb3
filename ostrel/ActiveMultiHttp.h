#pragma once

#include <atomic>
#include <mutex>
#include <set>

#include "ostrel/MultiTransfer.h"

namespace Ostrel {

class ActiveHttp;

// Moves the queue as an HTTP client with at most n connections at once. A finished file frees its
// slot at once; after a failure no further file is started.
class ActiveMultiHttp : public MultiTransfer {
public:
    bool action(unsigned long n) override;
    bool transfer(const FileInfo& file);
    void cancel() override;
    bool isConnectError() const override { return connectError_.load(); }

    // Files moving right now (for tests and diagnostics).
    size_t runningCount() const;

private:
    bool transfer(ActiveHttp& sub, const FileInfo& file);

    std::atomic<bool> connectError_{false};
    std::atomic<size_t> moving_{0};
    mutable std::mutex mutex_;
    std::set<ActiveHttp*> running_;
};

}  // namespace Ostrel
