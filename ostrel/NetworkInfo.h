#pragma once

#include <string>

#include "ostrel/BaseInfo.h"

namespace Ostrel {

// The network the device is on and the port where its file server listens, read on construction.
class NetworkInfo : public BaseInfo {
public:
    NetworkInfo();
    ~NetworkInfo() override;

    void init() override;
    void toJson(Json::Value& request) const override;

    std::string networkType;
    std::string deviceIp;
    std::string bssid;
    int listenPort = 8080;
};

}  // namespace Ostrel
