#include "task/taskqueryfriend.h"

#include "ostrel/QueryFriendTask.h"
#include "task/repeaterqueryfriend.h"
#include "task/devinfoquerylist.h"
#include "task/taskvalue.h"

TaskQueryFriend::TaskQueryFriend(const ParamQueryFriend& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterQueryFriend(receiver)) {}

void TaskQueryFriend::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamQueryFriend&>(*getParam());
    launch(new Ostrel::QueryFriendTask(param.getDevIDList(), true), &option_);
}

void TaskQueryFriend::callback(int state, int detail, const void* data)
{
    TaskBase::callback(state, detail, data);
    std::vector<Ostrel::DeviceInfo> devices;
    if (!isSuccess(state, detail) || !readTaskValue(getOstrelTask(), Ostrel::QueryFriendTask::VALUE_DEVICE_LIST, devices))
        return;
    DevInfoQueryList list(devices);
    const QStringList& requested = static_cast<const ParamQueryFriend&>(*getParam()).getDevIDs();
    if (static_cast<int>(devices.size()) != requested.size()) {
        QStringList missing;
        for (const QString& id : requested)
            if (list.getDevInfo(id).getDeviceID().isEmpty() && !missing.contains(id))
                missing.append(id);
        list.setRemoveList(missing);
    }
    static_cast<RepeaterQueryFriend*>(getRepeater())->sendDevInfoList(list);
}
