#pragma once

#include "ostrel/DeviceInfo.h"
#include "task/devinfobase.h"

// A device published nearby.
class DevInfoNearby : public DevInfoBase {
public:
    DevInfoNearby() = default;
    DevInfoNearby(const QString& deviceId, const QString& deviceName, const QString& profileName,
                  const QString& osType, bool hasPushId)
        : DevInfoBase(deviceId, deviceName, profileName, osType), hasPushId_(hasPushId)
    {
    }
    explicit DevInfoNearby(const Ostrel::DeviceInfo& info) : DevInfoBase(info), hasPushId_(info.hasPushId) {}
    DevInfoBase* clone() const override { return new DevInfoNearby(*this); }
    bool isHasPushID() const { return hasPushId_; }

private:
    bool hasPushId_ = false;
};
