#include "task/tasknearby.h"

#include "ostrel/SearchNearbyTask.h"
#include "task/repeaternearby.h"
#include "task/devinfonearbylist.h"
#include "task/taskvalue.h"

TaskNearby::TaskNearby(const ParamNearby& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterNearby(receiver)) {}

void TaskNearby::start()
{
    getRepeater()->connect();
    launch(new Ostrel::SearchNearbyTask(false), &option_);
}

void TaskNearby::callback(int state, int detail, const void* data)
{
    // The list goes out before the finish signal.
    std::vector<Ostrel::DeviceInfo> devices;
    if (isSuccess(state, detail) && readTaskValue(getOstrelTask(), Ostrel::SearchNearbyTask::VALUE_DEVICE_LIST, devices))
        static_cast<RepeaterNearby*>(getRepeater())->sendDevInfoList(DevInfoNearbyList(devices));
    TaskBase::callback(state, detail, data);
}
