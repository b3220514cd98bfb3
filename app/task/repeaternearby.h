#pragma once

#include "task/devinfonearbylist.h"
#include "task/repeaterbase.h"

// Relays the device list only; the base signals reach nobody.
class RepeaterNearby : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterNearby(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterNearby(receiver()); }
    void connect() override
    {
        relay(SIGNAL(sendSigDevInfoList(const DevInfoNearbyList&)), SLOT(recvSigDevInfoList(const DevInfoNearbyList&)));
    }
    void sendDevInfoList(const DevInfoNearbyList& list) { emit sendSigDevInfoList(list); }

signals:
    void sendSigDevInfoList(const DevInfoNearbyList& list);
};
