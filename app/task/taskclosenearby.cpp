#include "task/taskclosenearby.h"

#include "ostrel/CloseNearbyTask.h"
#include "task/repeaterclosenearby.h"

TaskCloseNearby::TaskCloseNearby(const ParamCloseNearby& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterCloseNearby(receiver)) {}

void TaskCloseNearby::start()
{
    getRepeater()->connect();
    launch(new Ostrel::CloseNearbyTask(), &option_);
}
