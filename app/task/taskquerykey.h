#pragma once

#include "task/option.h"
#include "task/paramquerykey.h"
#include "task/taskbase.h"

// Runs Ostrel::QueryPushKeyTask for the GUI.
class TaskQueryKey : public TaskBase {
    Q_OBJECT
public:
    TaskQueryKey(const ParamQueryKey& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;

private:
    Option option_;
};
