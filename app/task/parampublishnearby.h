#pragma once

#include "task/parambase.h"

// Makes this device findable nearby for a while.
class ParamPublishNearby : public ParamBase {
public:
    ParamPublishNearby() = default;
    ParamBase* clone() const override { return new ParamPublishNearby(*this); }
};
