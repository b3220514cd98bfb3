#pragma once

#include <QByteArray>
#include <QString>

#include "task/parambase.h"

// Pushes a transfer key straight to one device.
class ParamPushKey : public ParamBase {
public:
    ParamPushKey(const QString& key, const QString& deviceId, const QByteArray& thumbnail, const QString& comment) : key_(key), deviceId_(deviceId), thumbnail_(thumbnail), comment_(comment) {}
    ParamBase* clone() const override { return new ParamPushKey(*this); }
    const QString& getKey() const { return key_; }
    const QString& getDeviceID() const { return deviceId_; }
    const QByteArray& getThumbnail() const { return thumbnail_; }
    const QString& getComment() const { return comment_; }

private:
    QString key_;
    QString deviceId_;
    QByteArray thumbnail_;
    QString comment_;
};
