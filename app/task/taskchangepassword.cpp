#include "task/taskchangepassword.h"

#include <string>

#include "ostrel/ChangeUserTask.h"
#include "task/repeaterchangepassword.h"

TaskChangePassword::TaskChangePassword(const ParamChangePassword& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterChangePassword(receiver)) {}

void TaskChangePassword::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamChangePassword&>(*getParam());
    launch(new Ostrel::ChangeUserTask(param.getPassword().toStdString(), std::wstring()), &option_);
}
