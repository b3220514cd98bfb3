#pragma once

#include <QByteArray>

#include "ostrel/DeviceInfo.h"
#include "task/devinfobase.h"

// A device looked up by id, with its picture.
class DevInfoQuery : public DevInfoBase {
public:
    DevInfoQuery() = default;
    DevInfoQuery(const QString& deviceId, const QString& deviceName, const QString& profileName,
                 const QString& osType, bool hasPushId, const QByteArray& thumb)
        : DevInfoBase(deviceId, deviceName, profileName, osType), hasPushId_(hasPushId), thumb_(thumb)
    {
    }
    explicit DevInfoQuery(const Ostrel::DeviceInfo& info)
        : DevInfoBase(info), hasPushId_(info.hasPushId),
          thumb_(reinterpret_cast<const char*>(info.picture.data()), static_cast<int>(info.picture.size()))
    {
    }
    DevInfoBase* clone() const override { return new DevInfoQuery(*this); }
    bool isHasPushID() const { return hasPushId_; }
    const QByteArray& getThumb() const { return thumb_; }

private:
    bool hasPushId_ = false;
    QByteArray thumb_;
};
