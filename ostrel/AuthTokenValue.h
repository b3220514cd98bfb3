#pragma once

#include <mutex>
#include <string>

namespace Ostrel {

// The one credential record shared by every task of the process. Requests read the strings without
// the lock; a task holds `lock` while it authenticates or renews the token.
struct AuthTokenValue {
    std::string deviceId;
    std::string devicePassword;
    std::string userId;
    std::string userPassword;
    std::string authToken;
    std::mutex lock;
};

}  // namespace Ostrel
