#pragma once

#include "task/repeaterbase.h"

// Relays the finish and error signals to the receiver's recvSigFinish and recvSigError.
class RepeaterChangePassword : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterChangePassword(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterChangePassword(receiver()); }
};
