#pragma once

#include "task/option.h"
#include "task/paramchangepassword.h"
#include "task/taskbase.h"

// Runs Ostrel::ChangeUserTask for the GUI.
class TaskChangePassword : public TaskBase {
    Q_OBJECT
public:
    TaskChangePassword(const ParamChangePassword& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
