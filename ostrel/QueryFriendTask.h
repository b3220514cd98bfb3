#pragma once

#include <string>
#include <vector>

#include "ostrel/AuthBaseTask.h"
#include "ostrel/DeviceInfo.h"

namespace Ostrel {

// Looks devices up by id (value 256: std::vector<DeviceInfo>).
class QueryFriendTask : public AuthBaseTask {
public:
    enum { VALUE_DEVICE_LIST = 256 };

    QueryFriendTask(const std::vector<std::string>& deviceIds, bool downloadPictures);
    ~QueryFriendTask() override;

    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_query_friend"; }

private:
    std::vector<std::string> deviceIds_;
    bool downloadPictures_;
    std::vector<DeviceInfo> devices_;
};

}  // namespace Ostrel
