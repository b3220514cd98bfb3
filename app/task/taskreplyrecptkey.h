#pragma once

#include "task/option.h"
#include "task/paramreplyrecptkey.h"
#include "task/taskbase.h"

// Runs Ostrel::ReplyPushKeyTask for the GUI.
class TaskReplyRecptKey : public TaskBase {
    Q_OBJECT
public:
    TaskReplyRecptKey(const ParamReplyRecptKey& param, QObject* receiver);
    void start() override;

private:
    Option option_;
};
