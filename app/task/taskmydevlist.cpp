#include "task/taskmydevlist.h"

#include "ostrel/GetDeviceListTask.h"
#include "task/repeatermydevlist.h"
#include "task/devinfomylist.h"
#include "task/taskvalue.h"

TaskMyDevList::TaskMyDevList(const ParamMyDevList& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterMyDevList(receiver)) {}

void TaskMyDevList::start()
{
    getRepeater()->connect();
    launch(new Ostrel::GetDeviceListTask(false), &option_);
}

void TaskMyDevList::callback(int state, int detail, const void* data)
{
    // The list goes out before the finish signal.
    std::vector<Ostrel::DeviceInfo> devices;
    if (isSuccess(state, detail) && readTaskValue(getOstrelTask(), Ostrel::GetDeviceListTask::VALUE_DEVICE_LIST, devices))
        static_cast<RepeaterMyDevList*>(getRepeater())->sendDevInfoList(DevInfoMyList(devices));
    TaskBase::callback(state, detail, data);
}
