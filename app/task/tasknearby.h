#pragma once

#include "task/option.h"
#include "task/paramnearby.h"
#include "task/taskbase.h"

// Runs Ostrel::SearchNearbyTask for the GUI.
class TaskNearby : public TaskBase {
    Q_OBJECT
public:
    TaskNearby(const ParamNearby& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;

private:
    Option option_;
};
