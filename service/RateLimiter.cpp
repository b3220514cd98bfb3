#include "service/RateLimiter.h"

namespace Service {

bool RateLimiter::over(const std::string& id, Clock::time_point now)
{
    auto it = hits_.find(id);
    if (it == hits_.end())
        return false;
    auto& q = it->second;
    while (!q.empty() && now - q.front() >= window_)
        q.pop_front();
    if (q.empty()) {
        hits_.erase(it);
        return false;
    }
    return static_cast<int>(q.size()) >= limit_;
}

bool RateLimiter::blocked(const std::string& deviceId, const std::string& address)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    return (!deviceId.empty() && over("d:" + deviceId, now)) || (!address.empty() && over("a:" + address, now));
}

void RateLimiter::failure(const std::string& deviceId, const std::string& address)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    if (!deviceId.empty())
        hits_["d:" + deviceId].push_back(now);
    if (!address.empty())
        hits_["a:" + address].push_back(now);
    if (hits_.size() > 100000)  // bounded memory under a flood: forget the oldest counters wholesale
        hits_.clear();
}

}  // namespace Service
