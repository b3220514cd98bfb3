#pragma once

#include "task/option.h"
#include "task/parammydevlist.h"
#include "task/taskbase.h"

// Runs Ostrel::GetDeviceListTask for the GUI.
class TaskMyDevList : public TaskBase {
    Q_OBJECT
public:
    TaskMyDevList(const ParamMyDevList& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;

private:
    Option option_;
};
