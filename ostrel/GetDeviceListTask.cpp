#include "ostrel/GetDeviceListTask.h"

namespace Ostrel {

GetDeviceListTask::GetDeviceListTask(bool downloadPictures) : downloadPictures_(downloadPictures) {}

GetDeviceListTask::~GetDeviceListTask() = default;

boost::any GetDeviceListTask::getValue(int key)
{
    if (key == VALUE_DEVICE_LIST)
        return devices_;
    return AuthBaseTask::getValue(key);
}

const void* GetDeviceListTask::getValuePtr(int key)
{
    if (key == VALUE_DEVICE_LIST)
        return &devices_;
    return AuthBaseTask::getValuePtr(key);
}

void GetDeviceListTask::readDevices(const Json::Value& response, bool downloadPictures,
                                    std::vector<DeviceInfo>& devices)
{
    if (!response.isObject() || !response.isMember("device"))
        return;
    const Json::Value& array = response["device"];
    if (!array.isArray()) {
        devices.clear();
        return;
    }
    devices.resize(array.size());
    for (Json::ArrayIndex i = 0; i < array.size(); ++i)
        devices[i].set(array[i], downloadPictures);
}

int GetDeviceListTask::updateServer()
{
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = getServerData(getApiPath("user/device/list"), request, response);
    if (r == 200)
        readDevices(response, downloadPictures_, devices_);
    return r;
}

}  // namespace Ostrel
