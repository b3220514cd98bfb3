#pragma once

#include "task/option.h"
#include "task/paramlogin.h"
#include "task/taskbase.h"

// Runs Ostrel::LoginUserTask for the GUI.
class TaskLogIn : public TaskBase {
    Q_OBJECT
public:
    TaskLogIn(const ParamLogIn& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
