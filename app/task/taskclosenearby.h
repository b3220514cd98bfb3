#pragma once

#include "task/option.h"
#include "task/paramclosenearby.h"
#include "task/taskbase.h"

// Runs Ostrel::CloseNearbyTask for the GUI.
class TaskCloseNearby : public TaskBase {
    Q_OBJECT
public:
    TaskCloseNearby(const ParamCloseNearby& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
