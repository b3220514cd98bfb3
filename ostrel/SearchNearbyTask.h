#pragma once

#include <string>
#include <vector>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/DeviceInfo.h"

namespace Ostrel {

// Finds devices published nearby (value 256: std::vector<DeviceInfo>).
class SearchNearbyTask : public AuthBaseTask {
public:
    enum { VALUE_DEVICE_LIST = 256 };

    explicit SearchNearbyTask(bool downloadPictures);
    SearchNearbyTask(const std::vector<std::string>& preferredIds, bool downloadPictures);
    ~SearchNearbyTask() override;

    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_search_nearby"; }

private:
    std::vector<std::string> preferredIds_;
    bool downloadPictures_;
    std::vector<DeviceInfo> devices_;
};

}  // namespace Ostrel
