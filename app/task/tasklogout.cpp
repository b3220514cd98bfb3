#include "task/tasklogout.h"

#include "ostrel/LogoutUserTask.h"
#include "task/repeaterlogout.h"

TaskLogOut::TaskLogOut(const ParamLogOut& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterLogOut(receiver)) {}

void TaskLogOut::start()
{
    getRepeater()->connect();
    launch(new Ostrel::LogoutUserTask(), &option_);
}
