#pragma once

#include <string>

#include <json/value.h>

namespace Ostrel {

// A description of this machine that writes its members into a request body.
class BaseInfo {
public:
    BaseInfo() { BaseInfo::init(); }

    // Gathers the values; subclasses call the base first.
    virtual void init() { osType = "linux"; }
    // Adds the members to an existing JSON object and never removes any.
    virtual void toJson(Json::Value& request) const = 0;
    virtual ~BaseInfo() = default;

    std::string osType;
};

}  // namespace Ostrel
