#include "ostrel/CloseNearbyTask.h"

namespace Ostrel {

CloseNearbyTask::CloseNearbyTask() = default;

CloseNearbyTask::~CloseNearbyTask() = default;

int CloseNearbyTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    return getServerData(getApiPath("device/nearby/close"), request, response);
}

}  // namespace Ostrel
