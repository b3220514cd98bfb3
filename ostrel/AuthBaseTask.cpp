#include "ostrel/AuthBaseTask.h"

#include "ostrel/JsonUtil.h"
#include "ostrel/LocalDeviceInfo.h"

namespace Ostrel {

namespace {

// A token younger than this that the service still rejects is not renewed again.
constexpr auto kRenewalWindow = std::chrono::seconds(300);

}  // namespace

AuthBaseTask::AuthBaseTask() : authToken_(&defaultToken_)
{
    serverInfo_.authTokenValue = authToken_;
}

AuthBaseTask::~AuthBaseTask() = default;

std::string AuthBaseTask::stateToString(int code)
{
    switch (code) {
    case STATE_PREPARING:
        return "PREPARING";
    case ERROR_REQUIRED_LOGIN:
        return "ERROR_REQUIRED_LOGIN";
    case ERROR_SERVER_AUTHENTICATION:
        return "ERROR_SERVER_AUTHENTICATION";
    case PREPARING_UPDATED_DEVICE_ID:
        return "PREPARING_UPDATED_DEVICE_ID";
    case PREPARING_UPDATED_AUTH_TOKEN:
        return "PREPARING_UPDATED_AUTH_TOKEN";
    default:
        return BaseTask::stateToString(code);
    }
}

void AuthBaseTask::setOptionValues(BaseTask::Option* option)
{
    BaseTask::setOptionValues(option);
    if (auto* own = dynamic_cast<AuthBaseTask::Option*>(option)) {
        profileName_ = own->getProfileName();
        pushId_ = own->getPushId();
    }
}

void AuthBaseTask::setAuthTokenValue(AuthTokenValue* token)
{
    authToken_ = token ? token : &defaultToken_;
    serverInfo_.authTokenValue = authToken_;
}

void AuthBaseTask::fillDeviceRecord(Json::Value& request) const
{
    setJsonValue(request, "profile_name", profileName_);
    setJsonValue(request, "push_id", pushId_);
    LocalDeviceInfo device;
    device.toJson(request);
}

int AuthBaseTask::createDeviceId()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    fillDeviceRecord(request);
    const int r = getServerData(getApiPath("device/create"), request, response);
    if (r != 200)
        return r;
    const std::string id = getJsonValue(response, "device_id", "");
    const std::string password = getJsonValue(response, "password", "");
    if (id.empty() || password.empty())
        return 0;
    authToken_->deviceId = id;
    authToken_->devicePassword = password;
    progress(STATE_PREPARING, PREPARING_UPDATED_DEVICE_ID, authToken_);
    return 200;
}

int AuthBaseTask::loginDevice()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    setJsonValue(request, "device_uid", LocalDeviceInfo().deviceUid);
    const int r = getServerData(getApiPath("auth/device"), request, response);
    if (r == 200) {
        const std::string token = getJsonValue(response, "access_token", "");
        if (token.empty())
            return 0;
        authToken_->authToken = token;
        progress(STATE_PREPARING, PREPARING_UPDATED_AUTH_TOKEN, &authToken_->authToken);
        return 200;
    }
    if (r == 401) {
        authToken_->deviceId.clear();
        authToken_->devicePassword.clear();
        authToken_->authToken.clear();
    }
    return r;
}

int AuthBaseTask::loginUser()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    setJsonValue(request, "user_id", authToken_->userId);
    setJsonValue(request, "password", authToken_->userPassword);
    const int r = getServerData(getApiPath("auth/user"), request, response);
    if (r == 200) {
        const std::string token = getJsonValue(response, "access_token", "");
        if (token.empty())
            return 0;
        authToken_->authToken = token;
        progress(STATE_PREPARING, PREPARING_UPDATED_AUTH_TOKEN, &authToken_->authToken);
        return 200;
    }
    if (r == 401) {
        authToken_->userId.clear();
        authToken_->userPassword.clear();
    }
    return r;
}

int AuthBaseTask::updateDevice()
{
    if (!deviceReply_)
        deviceReply_.reset(new Json::Value());
    Json::Value request(Json::objectValue);
    fillDeviceRecord(request);
    return getServerData(getApiPath("device/update"), request, *deviceReply_);
}

int AuthBaseTask::logout()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = getServerData(getApiPath("auth/logout"), request, response);
    if (r == 200)
        authToken_->authToken.clear();
    return r;
}

int AuthBaseTask::authProcess()
{
    int r;
    if (authToken_->deviceId.empty() || authToken_->devicePassword.empty()) {
        r = createDeviceId();
        if (r != 200)
            return r;
        r = loginDevice();
    } else {
        r = loginDevice();
        if (r == 401) {
            // The service no longer knows this device (or its password): register anew.
            r = createDeviceId();
            if (r != 200)
                return r;
            r = loginDevice();
        }
    }
    if (r != 200)
        return r;
    // A rejected user is dropped by loginUser; the session goes on as the device.
    if (!authToken_->userId.empty() && !authToken_->userPassword.empty())
        loginUser();
    return updateDevice();
}

bool AuthBaseTask::reportResult(int h)
{
    if (isCancelled())
        return h == 200;
    if (h == -2)
        progress(2, ERROR_SERVER_WRONG_PROTOCOL);
    else if ((h >= 500 && h <= 599) || h == -1)
        progress(2, ERROR_SERVER_NETWORK);
    else if (h == -3)
        progress(2, ERROR_PROXY_AUTHENTICATION);
    else if (h == 401)
        progress(2, ERROR_SERVER_AUTHENTICATION);
    else if (h == 403)
        progress(2, ERROR_WRONG_API_KEY);
    return h == 200;
}

bool AuthBaseTask::action()
{
    const int kPasses = 3;
    int h = 0;
    // A device record reply belongs to this run's authentication; one from an earlier run is stale.
    deviceReply_.reset();
    for (int pass = 0; pass < kPasses; ++pass) {
        if (isCancelled())
            break;
        {
            std::lock_guard<std::mutex> guard(authToken_->lock);
            if (authToken_->authToken.empty()) {
                h = authProcess();
                if (h == 200) {
                    authenticated_ = true;
                    lastAuthentication_ = std::chrono::steady_clock::now();
                } else if (h == 401) {
                    authToken_->authToken.clear();
                } else {
                    return reportResult(h);
                }
            }
        }
        const std::string token = authToken_->authToken;
        if (token.empty())
            continue;
        if (isRequiredLogin() && authToken_->userId.empty()) {
            progress(2, ERROR_REQUIRED_LOGIN);
            return false;
        }
        h = updateServer();
        if (h != 401)
            break;
        if (authenticated_ && std::chrono::steady_clock::now() - lastAuthentication_ < kRenewalWindow)
            break;
        std::lock_guard<std::mutex> guard(authToken_->lock);
        if (authToken_->authToken == token) {
            authToken_->authToken.clear();
        } else if (pass + 1 < kPasses) {
            // Another task renewed the token meanwhile; the next pass retries with it.
            h = 200;
        }
        // On the last pass the rejection stands: no request of this task was accepted.
    }
    return reportResult(h);
}

}  // namespace Ostrel
