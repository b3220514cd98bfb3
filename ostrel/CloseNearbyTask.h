#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Withdraws this device's nearby publication.
class CloseNearbyTask : public AuthBaseTask {
public:
    CloseNearbyTask();
    ~CloseNearbyTask() override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_close_nearby"; }
};

}  // namespace Ostrel
