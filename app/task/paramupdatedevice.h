#pragma once

#include "task/parambase.h"

// Refreshes this device's record at the service.
class ParamUpdateDevice : public ParamBase {
public:
    ParamUpdateDevice() = default;
    ParamBase* clone() const override { return new ParamUpdateDevice(*this); }
};
