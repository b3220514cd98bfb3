#pragma once

#include "task/option.h"
#include "task/parampushkey.h"
#include "task/taskbase.h"

// Runs Ostrel::PushKeyTask for the GUI.
class TaskPushKey : public TaskBase {
    Q_OBJECT
public:
    TaskPushKey(const ParamPushKey& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;

private:
    Option option_;
};
