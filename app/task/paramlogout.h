#pragma once

#include "task/parambase.h"

// Signs the user out.
class ParamLogOut : public ParamBase {
public:
    ParamLogOut() = default;
    ParamBase* clone() const override { return new ParamLogOut(*this); }
};
