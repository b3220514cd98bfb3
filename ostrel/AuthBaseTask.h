#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <json/value.h>

#include "ostrel/AuthTokenValue.h"
#include "ostrel/BaseTask.h"

namespace Ostrel {

// Base of every task that talks to the service as this device (and, when one is signed in, as the
// user). It obtains a Bearer token before the task's own request and renews it on rejection.
class AuthBaseTask : public BaseTask {
public:
    class Option : public virtual BaseTask::Option {
    public:
        virtual std::string getPushId() = 0;
        virtual std::wstring getProfileName() = 0;
    };

    enum {
        STATE_PREPARING = 10,
        ERROR_REQUIRED_LOGIN = 517,
        ERROR_SERVER_AUTHENTICATION = 518,
        PREPARING_UPDATED_DEVICE_ID = 2561,
        PREPARING_UPDATED_AUTH_TOKEN = 2562,
    };

    AuthBaseTask();
    ~AuthBaseTask() override;

    std::string stateToString(int code) override;
    void setOptionValues(BaseTask::Option* option) override;
    void setAuthTokenValue(AuthTokenValue* token) override;

protected:
    bool action() override;

    int createDeviceId();
    int loginDevice();
    int loginUser();
    int updateDevice();
    int logout();
    // Runs with the token lock held.
    int authProcess();

    // Turns a final result into its ERROR event, unless cancelled; returns result == 200.
    bool reportResult(int result);

    AuthTokenValue* authToken_;
    std::unique_ptr<Json::Value> deviceReply_;
    AuthTokenValue defaultToken_;
    std::wstring profileName_;
    std::string pushId_;

private:
    void fillDeviceRecord(Json::Value& request) const;

    bool authenticated_ = false;
    std::chrono::steady_clock::time_point lastAuthentication_;
};

}  // namespace Ostrel
