#include "task/taskquerykey.h"

#include "ostrel/QueryPushKeyTask.h"
#include "task/repeaterquerykey.h"
#include "task/recptkeyinfo.h"
#include "task/taskvalue.h"

TaskQueryKey::TaskQueryKey(const ParamQueryKey& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterQueryKey(receiver)) {}

void TaskQueryKey::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamQueryKey&>(*getParam());
    launch(new Ostrel::QueryPushKeyTask(param.getKey().toStdWString()), &option_);
}

void TaskQueryKey::callback(int state, int detail, const void* data)
{
    TaskBase::callback(state, detail, data);
    Ostrel::QueryPushKeyTask::KeyInfo info;
    if (!isSuccess(state, detail) || !readTaskValue(getOstrelTask(), Ostrel::QueryPushKeyTask::VALUE_KEY_INFO, info))
        return;
    const RecptKeyInfo keyInfo(QString::fromStdWString(info.key), QString::fromStdWString(info.profileName),
                               QString::fromStdString(info.deviceId), QDateTime::fromSecsSinceEpoch(info.sentTime),
                               QDateTime::fromSecsSinceEpoch(info.expiresTime), info.fileNumber,
                               static_cast<qint64>(info.fileSize), QString::fromStdWString(info.comment),
                               QByteArray(reinterpret_cast<const char*>(info.thumbnail.data()),
                                          static_cast<int>(info.thumbnail.size())));
    static_cast<RepeaterQueryKey*>(getRepeater())->sendRecptKeyInfo(keyInfo);
}
