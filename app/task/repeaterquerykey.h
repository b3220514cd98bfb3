#pragma once

#include "task/recptkeyinfo.h"
#include "task/repeaterbase.h"

// Relays the key details only; the base signals reach nobody.
class RepeaterQueryKey : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterQueryKey(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterQueryKey(receiver()); }
    void connect() override
    {
        relay(SIGNAL(sendSigRecptKeyInfo(const RecptKeyInfo&)), SLOT(recvSigRecptKeyInfo(const RecptKeyInfo&)));
    }
    void sendRecptKeyInfo(const RecptKeyInfo& info) { emit sendSigRecptKeyInfo(info); }

signals:
    void sendSigRecptKeyInfo(const RecptKeyInfo& info);
};
