#pragma once

#include "task/option.h"
#include "task/paramupdatedevice.h"
#include "task/taskbase.h"

// Runs Ostrel::UpdateDeviceTask for the GUI.
class TaskUpdateDevice : public TaskBase {
    Q_OBJECT
public:
    TaskUpdateDevice(const ParamUpdateDevice& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
