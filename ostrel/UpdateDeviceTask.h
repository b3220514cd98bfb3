#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Refreshes the device record and reads the update notice (values 256 required version and
// 257 update message, both std::string).
class UpdateDeviceTask : public AuthBaseTask {
public:
    enum { ERROR_NEED_UPDATE = 522, VALUE_REQUIRED_VERSION = 256, VALUE_UPDATE_MESSAGE = 257 };

    UpdateDeviceTask();
    ~UpdateDeviceTask() override;

    std::string stateToString(int code) override;
    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_update_device"; }

private:
    std::string requiredVersion_;
    std::string updateMessage_;
};

}  // namespace Ostrel
