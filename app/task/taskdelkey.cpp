#include "task/taskdelkey.h"

#include "ostrel/DeleteKeyTask.h"
#include "task/repeaterdelkey.h"

TaskDelKey::TaskDelKey(const ParamDelKey& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterDelKey(receiver)) {}

void TaskDelKey::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamDelKey&>(*getParam());
    launch(new Ostrel::DeleteKeyTask(param.getKey().toStdWString()), &option_);
}
