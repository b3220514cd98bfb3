#pragma once

#include "task/option.h"
#include "task/paramdelkey.h"
#include "task/taskbase.h"

// Runs Ostrel::DeleteKeyTask for the GUI.
class TaskDelKey : public TaskBase {
    Q_OBJECT
public:
    TaskDelKey(const ParamDelKey& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
