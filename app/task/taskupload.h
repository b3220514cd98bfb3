#pragma once

#include "task/option.h"
#include "task/paramupload.h"
#include "task/tasktransfer.h"

// Runs Ostrel::UploadTask for the GUI.
class TaskUpload : public TaskTransfer {
    Q_OBJECT
public:
    TaskUpload(const ParamUpload& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;

private:
    Option option_;
};
