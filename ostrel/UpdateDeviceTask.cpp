#include "ostrel/UpdateDeviceTask.h"

#include "ostrel/JsonUtil.h"

namespace Ostrel {

UpdateDeviceTask::UpdateDeviceTask() = default;

UpdateDeviceTask::~UpdateDeviceTask() = default;

std::string UpdateDeviceTask::stateToString(int code)
{
    if (code == ERROR_NEED_UPDATE)
        return "ERROR_NEED_UPDATE";
    return AuthBaseTask::stateToString(code);
}

boost::any UpdateDeviceTask::getValue(int key)
{
    if (key == VALUE_REQUIRED_VERSION)
        return requiredVersion_;
    if (key == VALUE_UPDATE_MESSAGE)
        return updateMessage_;
    return AuthBaseTask::getValue(key);
}

const void* UpdateDeviceTask::getValuePtr(int key)
{
    if (key == VALUE_REQUIRED_VERSION)
        return &requiredVersion_;
    if (key == VALUE_UPDATE_MESSAGE)
        return &updateMessage_;
    return AuthBaseTask::getValuePtr(key);
}

int UpdateDeviceTask::updateServer()
{
    // A fresh authentication has just refreshed the record; a valid token skipped that step.
    if (!deviceReply_) {
        const int r = updateDevice();
        if (r != 200)
            return r;
        if (!deviceReply_)
            return 0;
    }
    requiredVersion_ = getJsonValue(*deviceReply_, "required_version", "");
    updateMessage_ = getJsonValue(*deviceReply_, "update_message", "");
    if (getJsonValue(*deviceReply_, "need_update", false)) {
        progress(2, ERROR_NEED_UPDATE);
        return 0;
    }
    return 200;
}

}  // namespace Ostrel
