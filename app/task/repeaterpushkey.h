#pragma once

#include "task/repeaterbase.h"

// Relays the push result only; the base signals reach nobody.
class RepeaterPushKey : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterPushKey(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterPushKey(receiver()); }
    void connect() override { relay(SIGNAL(sendSigResult(const int&)), SLOT(recvSigResult(const int&))); }
    void sendResult(int result) { emit sendSigResult(result); }

signals:
    void sendSigResult(const int& result);
};
