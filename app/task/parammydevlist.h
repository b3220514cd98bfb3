#pragma once

#include "task/parambase.h"

// Lists the signed-in user's devices.
class ParamMyDevList : public ParamBase {
public:
    ParamMyDevList() = default;
    ParamBase* clone() const override { return new ParamMyDevList(*this); }
};
