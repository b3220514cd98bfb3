#pragma once

#include "task/option.h"
#include "task/paramlogout.h"
#include "task/taskbase.h"

// Runs Ostrel::LogoutUserTask for the GUI.
class TaskLogOut : public TaskBase {
    Q_OBJECT
public:
    TaskLogOut(const ParamLogOut& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
