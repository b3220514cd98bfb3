#include "task/taskpublishnearby.h"

#include "ostrel/PublishNearbyTask.h"
#include "task/repeaterpublishnearby.h"
#include "task/taskvalue.h"

TaskPublishNearby::TaskPublishNearby(const ParamPublishNearby& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterPublishNearby(receiver)) {}

void TaskPublishNearby::start()
{
    getRepeater()->connect();
    launch(new Ostrel::PublishNearbyTask(), &option_);
}

void TaskPublishNearby::callback(int state, int detail, const void* data)
{
    TaskBase::callback(state, detail, data);
    int timeOut = 0;
    if (isSuccess(state, detail) && readTaskValue(getOstrelTask(), Ostrel::PublishNearbyTask::VALUE_TIMEOUT, timeOut))
        timeOut_.store(timeOut);
}
