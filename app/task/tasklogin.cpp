#include "task/tasklogin.h"

#include "ostrel/LoginUserTask.h"
#include "task/repeaterlogin.h"

TaskLogIn::TaskLogIn(const ParamLogIn& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterLogIn(receiver)) {}

void TaskLogIn::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamLogIn&>(*getParam());
    launch(new Ostrel::LoginUserTask(param.getUserID().toStdString(), param.getPassword().toStdString()), &option_);
}
