#pragma once

#include "task/option.h"
#include "task/parampublishnearby.h"
#include "task/taskbase.h"

// Runs Ostrel::PublishNearbyTask for the GUI.
class TaskPublishNearby : public TaskBase {
    Q_OBJECT
public:
    TaskPublishNearby(const ParamPublishNearby& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;
    // The publishing time-out the service granted; 0 until success.
    int getTimeOut() const { return timeOut_.load(); }

private:
    Option option_;
    std::atomic<int> timeOut_{0};
};
