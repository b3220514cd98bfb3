#pragma once

#include <string>
#include <vector>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/DeviceInfo.h"

namespace Ostrel {

// Lists the devices of the signed-in user (value 256: std::vector<DeviceInfo>).
class GetDeviceListTask : public AuthBaseTask {
public:
    enum { VALUE_DEVICE_LIST = 256 };

    explicit GetDeviceListTask(bool downloadPictures);
    ~GetDeviceListTask() override;

    bool isRequiredLogin() override { return true; }
    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;

    // Fills a list from the "device" array of an answer; a missing array leaves the list alone.
    static void readDevices(const Json::Value& response, bool downloadPictures, std::vector<DeviceInfo>& devices);

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_get_device_list"; }

private:
    bool downloadPictures_;
    std::vector<DeviceInfo> devices_;
};

}  // namespace Ostrel
