#pragma once

#include "ostrel/BaseInfo.h"

namespace Ostrel {

// A position; 0 means unknown. The process-wide LocalInfo coordinates take precedence.
class LocationInfo : public BaseInfo {
public:
    LocationInfo();
    ~LocationInfo() override;

    void toJson(Json::Value& request) const override;

    double latitude = 0;
    double longitude = 0;
};

}  // namespace Ostrel
