#pragma once

#include "task/devinfomylist.h"
#include "task/repeaterbase.h"

// Relays the device list only; the base signals reach nobody.
class RepeaterMyDevList : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterMyDevList(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterMyDevList(receiver()); }
    void connect() override
    {
        relay(SIGNAL(sendSigDevInfoList(const DevInfoMyList&)), SLOT(recvSigDevInfoList(const DevInfoMyList&)));
    }
    void sendDevInfoList(const DevInfoMyList& list) { emit sendSigDevInfoList(list); }

signals:
    void sendSigDevInfoList(const DevInfoMyList& list);
};
