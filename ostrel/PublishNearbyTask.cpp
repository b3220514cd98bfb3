#include "ostrel/PublishNearbyTask.h"

#include "ostrel/JsonUtil.h"
#include "ostrel/LocationInfo.h"
#include "ostrel/NetworkInfo.h"

namespace Ostrel {

PublishNearbyTask::PublishNearbyTask() = default;

PublishNearbyTask::~PublishNearbyTask() = default;

boost::any PublishNearbyTask::getValue(int key)
{
    if (key == VALUE_TIMEOUT)
        return timeout_;
    return AuthBaseTask::getValue(key);
}

const void* PublishNearbyTask::getValuePtr(int key)
{
    if (key == VALUE_TIMEOUT)
        return &timeout_;
    return AuthBaseTask::getValuePtr(key);
}

int PublishNearbyTask::updateServer()
{
    // Built now so the address, access point and server port are the current ones.
    LocationInfo location;
    NetworkInfo network;
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = getServerData(getApiPath("device/nearby/publish"), request, {&location, &network}, response);
    if (r == 200)
        timeout_ = getJsonValue(response, "timeout", 600);
    return r;
}

}  // namespace Ostrel
