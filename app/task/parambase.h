#pragma once

// What the GUI asks the task manager to run. Records are immutable after construction; the
// wrapper keeps its own copy made with clone().
class ParamBase {
public:
    virtual ~ParamBase() = default;
    virtual ParamBase* clone() const = 0;
};
