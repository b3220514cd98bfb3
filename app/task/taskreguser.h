#pragma once

#include "task/option.h"
#include "task/paramreguser.h"
#include "task/taskbase.h"

// Runs Ostrel::RegisterUserTask for the GUI.
class TaskRegUser : public TaskBase {
    Q_OBJECT
public:
    TaskRegUser(const ParamRegUser& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
