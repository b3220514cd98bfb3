#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Makes this device findable nearby for a while (value 256: the time-out in seconds, int).
class PublishNearbyTask : public AuthBaseTask {
public:
    enum { VALUE_TIMEOUT = 256 };

    PublishNearbyTask();
    ~PublishNearbyTask() override;

    boost::any getValue(int key) override;
    const void* getValuePtr(int key) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_publish_nearby"; }

private:
    int timeout_ = 0;
};

}  // namespace Ostrel
