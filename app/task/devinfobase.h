#pragma once

#include <QString>

namespace Ostrel {
class DeviceInfo;
}

// Another device as receivers see it: values copied out of an engine device record.
class DevInfoBase {
public:
    DevInfoBase() = default;
    DevInfoBase(const QString& deviceId, const QString& deviceName, const QString& profileName, const QString& osType)
        : deviceId_(deviceId), deviceName_(deviceName), profileName_(profileName), osType_(osType)
    {
    }
    // Ids, names and OS type from UTF-8, the profile name from the wide string.
    explicit DevInfoBase(const Ostrel::DeviceInfo& info);
    virtual ~DevInfoBase() = default;
    virtual DevInfoBase* clone() const = 0;

    const QString& getDeviceID() const { return deviceId_; }
    const QString& getDeviceName() const { return deviceName_; }
    const QString& getProfileName() const { return profileName_; }
    const QString& getOSType() const { return osType_; }

private:
    QString deviceId_;
    QString deviceName_;
    QString profileName_;
    QString osType_;
};
