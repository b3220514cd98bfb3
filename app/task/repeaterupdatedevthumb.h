#pragma once

#include "task/repeaterbase.h"

// Fire and forget: the base signals are emitted but connected to nothing.
class RepeaterUpdateDevThumb : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterUpdateDevThumb(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterUpdateDevThumb(receiver()); }
    void connect() override {}
};
