#include "task/devinfobase.h"

#include "ostrel/DeviceInfo.h"

DevInfoBase::DevInfoBase(const Ostrel::DeviceInfo& info)
    : deviceId_(QString::fromStdString(info.deviceId)), deviceName_(QString::fromStdString(info.deviceName)),
      profileName_(QString::fromStdWString(info.profileName)), osType_(QString::fromStdString(info.osType))
{
}
