#include "task/taskreplyrecptkey.h"

#include "ostrel/ReplyPushKeyTask.h"
#include "task/repeaterreplyrecptkey.h"

TaskReplyRecptKey::TaskReplyRecptKey(const ParamReplyRecptKey& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterReplyRecptKey(receiver)) {}

void TaskReplyRecptKey::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamReplyRecptKey&>(*getParam());
    launch(new Ostrel::ReplyPushKeyTask(param.getKey().toStdWString(), param.isAccepted()), &option_);
}
