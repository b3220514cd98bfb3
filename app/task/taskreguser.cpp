#include "task/taskreguser.h"

#include <string>

#include "ostrel/RegisterUserTask.h"
#include "task/repeaterreguser.h"

TaskRegUser::TaskRegUser(const ParamRegUser& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterRegUser(receiver)) {}

void TaskRegUser::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamRegUser&>(*getParam());
    launch(new Ostrel::RegisterUserTask(param.getUserID().toStdString(), param.getPassword().toStdString(), std::wstring()), &option_);
}
