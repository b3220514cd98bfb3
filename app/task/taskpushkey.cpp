#include "task/taskpushkey.h"

#include "ostrel/PushKeyTask.h"
#include "task/repeaterpushkey.h"
#include "task/taskvalue.h"

TaskPushKey::TaskPushKey(const ParamPushKey& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterPushKey(receiver)) {}

void TaskPushKey::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamPushKey&>(*getParam());
    launch(new Ostrel::PushKeyTask(param.getKey().toStdWString(), param.getDeviceID().toStdString(), param.getComment().toStdWString(), param.getThumbnail().toStdString()), &option_);
}

void TaskPushKey::callback(int state, int detail, const void* data)
{
    TaskBase::callback(state, detail, data);
    Ostrel::PushKeyTask::PushResult result = Ostrel::PushKeyTask::PUSH_NO_ANSWER;
    if (isSuccess(state, detail) && readTaskValue(getOstrelTask(), Ostrel::PushKeyTask::VALUE_PUSH_RESULT, result))
        static_cast<RepeaterPushKey*>(getRepeater())->sendResult(static_cast<int>(result));
}
