#include "ostrel/LocationInfo.h"

#include "ostrel/LocalInfo.h"

namespace Ostrel {

LocationInfo::LocationInfo() = default;

LocationInfo::~LocationInfo() = default;

void LocationInfo::toJson(Json::Value& request) const
{
    // "!= 0" lets a NaN through, as any value that is not plainly zero.
    if (latitude != 0)
        request["latitude"] = latitude;
    if (longitude != 0)
        request["longitude"] = longitude;
    if (LocalInfo::latitude != 0)
        request["latitude"] = LocalInfo::latitude;
    if (LocalInfo::longitude != 0)
        request["longitude"] = LocalInfo::longitude;
}

}  // namespace Ostrel
