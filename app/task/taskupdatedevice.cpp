#include "task/taskupdatedevice.h"

#include "ostrel/UpdateDeviceTask.h"
#include "task/repeaterupdatedevice.h"

TaskUpdateDevice::TaskUpdateDevice(const ParamUpdateDevice& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterUpdateDevice(receiver)) {}

void TaskUpdateDevice::start()
{
    getRepeater()->connect();
    launch(new Ostrel::UpdateDeviceTask(), &option_);
}
