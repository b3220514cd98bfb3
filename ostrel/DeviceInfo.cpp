#include "ostrel/DeviceInfo.h"

#include "ostrel/HttpImage.h"
#include "ostrel/JsonUtil.h"

namespace Ostrel {

void DeviceInfo::set(const Json::Value& object, bool downloadPicture)
{
    profileUrl = getJsonValue(object, "profile_url", "");
    picture.clear();
    if (downloadPicture && !profileUrl.empty())
        downloadImage(profileUrl, picture);
    profileName = getJsonValue(object, "profile_name", L"");
    deviceName = getJsonValue(object, "device_name", "");
    deviceId = getJsonValue(object, "device_id", "");
    osType = getJsonValue(object, "os_type", "");
    hasPushId = getJsonValue(object, "has_pushid", false);
}

}  // namespace Ostrel
