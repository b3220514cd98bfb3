#pragma once

#include "task/option.h"
#include "task/paramqueryfriend.h"
#include "task/taskbase.h"

// Runs Ostrel::QueryFriendTask for the GUI.
class TaskQueryFriend : public TaskBase {
    Q_OBJECT
public:
    TaskQueryFriend(const ParamQueryFriend& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;

private:
    Option option_;
};
