#pragma once

#include "task/parambase.h"

// Deletes the signed-in user's account.
class ParamUnregUser : public ParamBase {
public:
    ParamUnregUser() = default;
    ParamBase* clone() const override { return new ParamUnregUser(*this); }
};
