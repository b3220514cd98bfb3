#pragma once

#include "task/repeaterbase.h"

// Fire and forget: the base signals are emitted but connected to nothing.
class RepeaterReplyRecptKey : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterReplyRecptKey(QObject* receiver) : RepeaterBase(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterReplyRecptKey(receiver()); }
    void connect() override {}
};
