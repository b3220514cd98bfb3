#pragma once

#include "task/parambase.h"

// Listens for pushed keys until cancelled.
class ParamRecptKey : public ParamBase {
public:
    ParamRecptKey() = default;
    ParamBase* clone() const override { return new ParamRecptKey(*this); }
};
