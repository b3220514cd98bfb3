#pragma once

#include "task/repeaterbase.h"

// Fire and forget: the base signals are emitted but connected to nothing.
class RepeaterCloseNearby : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterCloseNearby(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterCloseNearby(receiver()); }
    void connect() override {}
};
