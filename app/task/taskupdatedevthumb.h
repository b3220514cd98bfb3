#pragma once

#include "task/option.h"
#include "task/paramupdatedevthumb.h"
#include "task/taskbase.h"

// Runs Ostrel::UpdateDevicePictureTask for the GUI.
class TaskUpdateDevThumb : public TaskBase {
    Q_OBJECT
public:
    TaskUpdateDevThumb(const ParamUpdateDevThumb& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
