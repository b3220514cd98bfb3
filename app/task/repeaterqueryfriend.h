#pragma once

#include "task/devinfoquerylist.h"
#include "task/repeaterbase.h"

// Relays the device list only; the base signals reach nobody.
class RepeaterQueryFriend : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterQueryFriend(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterQueryFriend(receiver()); }
    void connect() override
    {
        relay(SIGNAL(sendSigDevInfoList(const DevInfoQueryList&)), SLOT(recvSigDevInfoList(const DevInfoQueryList&)));
    }
    void sendDevInfoList(const DevInfoQueryList& list) { emit sendSigDevInfoList(list); }

signals:
    void sendSigDevInfoList(const DevInfoQueryList& list);
};
