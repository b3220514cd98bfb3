#pragma once

#include "task/option.h"
#include "task/paramrecptkey.h"
#include "task/taskbase.h"

// Runs Ostrel::PushListenerTask for the GUI.
class TaskRecptKey : public TaskBase {
    Q_OBJECT
public:
    TaskRecptKey(const ParamRecptKey& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;

private:
    Option option_;
};
