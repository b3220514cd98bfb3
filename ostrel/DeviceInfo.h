#pragma once

#include <string>
#include <vector>

#include <json/value.h>

namespace Ostrel {

// Another device as the service describes it in device lists.
class DeviceInfo {
public:
    // Fills every field from one response object; missing or mistyped members give defaults.
    // With downloadPicture and a profile URL, the picture bytes are fetched as well (a failed
    // download leaves them empty).
    void set(const Json::Value& object, bool downloadPicture);

    std::wstring profileName;
    std::vector<unsigned char> picture;
    std::string profileUrl;
    std::string deviceName;
    std::string deviceId;
    std::string osType;
    bool hasPushId = false;
};

}  // namespace Ostrel
