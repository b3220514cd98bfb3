#pragma once

#include <string>
#include <vector>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Uploads the picture other devices show for this one.
class UpdateDevicePictureTask : public AuthBaseTask {
public:
    // Reads the file at construction; a missing file leaves no picture and the task fails.
    explicit UpdateDevicePictureTask(const std::wstring& path);
    explicit UpdateDevicePictureTask(const std::vector<unsigned char>& bytes);
    ~UpdateDevicePictureTask() override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_update_device_picture"; }

private:
    std::vector<unsigned char> picture_;
};

}  // namespace Ostrel
