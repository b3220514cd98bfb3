#pragma once

#include <QString>

#include "task/repeaterbase.h"

// Relays the base signals and every key pushed to this device.
class RepeaterRecptKey : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterRecptKey(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterRecptKey(receiver()); }
    void connect() override
    {
        RepeaterBase::connect();
        relay(SIGNAL(sendSigRecvKey(const QString&)), SLOT(recvSigRecvKey(const QString&)));
        relay(SIGNAL(sendSigRecvDoneKey(const QString&, const QString&)),
              SLOT(recvSigRecvDoneKey(const QString&, const QString&)));
    }
    void sendRecvKey(const QString& key) { emit sendSigRecvKey(key); }
    void sendRecvDoneKey(const QString& key, const QString& peerDeviceId) { emit sendSigRecvDoneKey(key, peerDeviceId); }

signals:
    void sendSigRecvKey(const QString& key);
    void sendSigRecvDoneKey(const QString& key, const QString& peerDeviceId);
};
