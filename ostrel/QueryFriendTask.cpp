#include "ostrel/QueryFriendTask.h"

#include "ostrel/GetDeviceListTask.h"

namespace Ostrel {

QueryFriendTask::QueryFriendTask(const std::vector<std::string>& deviceIds, bool downloadPictures)
    : deviceIds_(deviceIds), downloadPictures_(downloadPictures)
{
}

QueryFriendTask::~QueryFriendTask() = default;

boost::any QueryFriendTask::getValue(int key)
{
    if (key == VALUE_DEVICE_LIST)
        return devices_;
    return AuthBaseTask::getValue(key);
}

const void* QueryFriendTask::getValuePtr(int key)
{
    if (key == VALUE_DEVICE_LIST)
        return &devices_;
    return AuthBaseTask::getValuePtr(key);
}

int QueryFriendTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    Json::Value ids;  // null when there are none
    for (const auto& id : deviceIds_)
        ids.append(id);
    request["device"] = ids;
    const int r = getServerData(getApiPath("friend/search"), request, response);
    if (r == 200)
        GetDeviceListTask::readDevices(response, downloadPictures_, devices_);
    return r;
}

}  // namespace Ostrel
