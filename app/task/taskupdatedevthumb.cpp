#include "task/taskupdatedevthumb.h"

#include <vector>

#include "ostrel/UpdateDevicePictureTask.h"
#include "task/repeaterupdatedevthumb.h"

TaskUpdateDevThumb::TaskUpdateDevThumb(const ParamUpdateDevThumb& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterUpdateDevThumb(receiver)) {}

void TaskUpdateDevThumb::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamUpdateDevThumb&>(*getParam());
    launch(new Ostrel::UpdateDevicePictureTask(std::vector<unsigned char>(param.getThumbnail().begin(), param.getThumbnail().end())), &option_);
}
