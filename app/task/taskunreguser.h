#pragma once

#include "task/option.h"
#include "task/paramunreguser.h"
#include "task/taskbase.h"

// Runs Ostrel::UnregisterUserTask for the GUI.
class TaskUnregUser : public TaskBase {
    Q_OBJECT
public:
    TaskUnregUser(const ParamUnregUser& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
