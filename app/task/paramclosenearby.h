#pragma once

#include "task/parambase.h"

// Withdraws this device's nearby publication.
class ParamCloseNearby : public ParamBase {
public:
    ParamCloseNearby() = default;
    ParamBase* clone() const override { return new ParamCloseNearby(*this); }
};
