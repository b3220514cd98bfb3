#include "task/taskunreguser.h"

#include "ostrel/UnregisterUserTask.h"
#include "task/repeaterunreguser.h"

TaskUnregUser::TaskUnregUser(const ParamUnregUser& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterUnregUser(receiver)) {}

void TaskUnregUser::start()
{
    getRepeater()->connect();
    launch(new Ostrel::UnregisterUserTask(), &option_);
}
