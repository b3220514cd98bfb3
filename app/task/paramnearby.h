#pragma once

#include "task/parambase.h"

// Finds devices published nearby.
class ParamNearby : public ParamBase {
public:
    ParamNearby() = default;
    ParamBase* clone() const override { return new ParamNearby(*this); }
};
