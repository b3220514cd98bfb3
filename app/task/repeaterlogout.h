#pragma once

#include "task/repeaterbase.h"

// Relays the finish and error signals to the receiver's recvSigFinish and recvSigError.
class RepeaterLogOut : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterLogOut(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterLogOut(receiver()); }
};
