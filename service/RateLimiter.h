#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace Service {

// Counts failed lookups of unknown keys per device and per source address, so that the small
// key space cannot be walked: over the limit within the window, lookups answer 429.
class RateLimiter {
public:
    RateLimiter(int limit, int windowSeconds) : limit_(limit), window_(windowSeconds) {}

    bool blocked(const std::string& deviceId, const std::string& address);
    void failure(const std::string& deviceId, const std::string& address);

private:
    using Clock = std::chrono::steady_clock;
    bool over(const std::string& id, Clock::time_point now);

    int limit_;
    std::chrono::seconds window_;
    std::mutex mutex_;
    std::map<std::string, std::deque<Clock::time_point>> hits_;
};

}  // namespace Service
