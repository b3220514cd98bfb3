#pragma once

#include "task/devinfobase.h"

// One of the signed-in user's own devices.
class DevInfoMy : public DevInfoBase {
public:
    using DevInfoBase::DevInfoBase;
    DevInfoMy() = default;
    DevInfoBase* clone() const override { return new DevInfoMy(*this); }
};
