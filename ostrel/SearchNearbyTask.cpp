#include "ostrel/SearchNearbyTask.h"

#include "ostrel/GetDeviceListTask.h"
#include "ostrel/LocationInfo.h"
#include "ostrel/NetworkInfo.h"

namespace Ostrel {

SearchNearbyTask::SearchNearbyTask(bool downloadPictures) : downloadPictures_(downloadPictures) {}

SearchNearbyTask::SearchNearbyTask(const std::vector<std::string>& preferredIds, bool downloadPictures)
    : preferredIds_(preferredIds), downloadPictures_(downloadPictures)
{
}

SearchNearbyTask::~SearchNearbyTask() = default;

boost::any SearchNearbyTask::getValue(int key)
{
    if (key == VALUE_DEVICE_LIST)
        return devices_;
    return AuthBaseTask::getValue(key);
}

const void* SearchNearbyTask::getValuePtr(int key)
{
    if (key == VALUE_DEVICE_LIST)
        return &devices_;
    return AuthBaseTask::getValuePtr(key);
}

int SearchNearbyTask::updateServer()
{
    LocationInfo location;
    NetworkInfo network;
    Json::Value request(Json::objectValue);
    Json::Value response;
    Json::Value ids;  // null when there are none
    for (const auto& id : preferredIds_)
        ids.append(id);
    request["prefer_ids"] = ids;
    const int r = getServerData(getApiPath("device/nearby/search"), request, {&location, &network}, response);
    if (r == 200)
        GetDeviceListTask::readDevices(response, downloadPictures_, devices_);
    return r;
}

}  // namespace Ostrel
