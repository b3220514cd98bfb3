#pragma once

#include <string>

#include "ostrel/BaseInfo.h"

namespace Ostrel {

// The local machine as the service records it. The values are gathered afresh on construction.
class LocalDeviceInfo : public BaseInfo {
public:
    LocalDeviceInfo();
    ~LocalDeviceInfo() override;

    void init() override;
    void toJson(Json::Value& request) const override;

    // Release description from an lsb-release style file (DISTRIB_DESCRIPTION, quotes removed),
    // else the first line of a redhat-release style file, else empty.
    static std::string readOsRelease(const std::string& lsbPath = "/etc/lsb-release",
                                     const std::string& redhatPath = "/etc/redhat-release");

    std::string osVersion;
    std::string deviceUid;
    std::string modelNumber;
    std::string manufacturer;
    std::string macAddress;
    std::string carrier;
    std::string networkCountry;
    std::string phoneNumberHash;
    std::string appVersion;
    std::string deviceLanguage;
    std::string appName;
    std::string packageName;
};

}  // namespace Ostrel
