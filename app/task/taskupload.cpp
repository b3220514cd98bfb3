#include "task/taskupload.h"

#include <string>
#include <vector>

#include "ostrel/UploadTask.h"
#include "task/repeaterupload.h"
#include "task/taskvalue.h"

TaskUpload::TaskUpload(const ParamUpload& param, QObject* receiver)
    : TaskTransfer(param, receiver, new RepeaterUpload(receiver))
{
}

void TaskUpload::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamUpload&>(*getParam());
    Ostrel::TransferTask::Mode mode = Ostrel::TransferTask::MODE_DIRECT;
    if (param.getMode() == ParamUpload::MODE_UPLOAD)
        mode = Ostrel::TransferTask::MODE_UPLOAD;
    else if (param.getMode() == ParamUpload::MODE_HYBRID)
        mode = Ostrel::TransferTask::MODE_HYBRID;
    const QByteArray& thumb = param.getThumbnail();
    const std::vector<unsigned char> thumbnail(thumb.begin(), thumb.end());
    launch(new Ostrel::UploadTask(std::vector<std::wstring>(), param.getFileListStd(), mode, thumbnail,
                                  param.getKey().toStdWString()),
           &option_);
}

void TaskUpload::callback(int state, int detail, const void* data)
{
    TaskTransfer::callback(state, detail, data);
    if (state != Ostrel::TransferTask::STATE_PREPARING || detail != Ostrel::TransferTask::PREPARING_UPDATED_KEY)
        return;
    // The type goes first: a listener files the key under the right kind of transfer.
    auto* repeater = static_cast<RepeaterUpload*>(getRepeater());
    Ostrel::TransferTask::Mode mode = Ostrel::TransferTask::MODE_NONE;
    readTaskValue(getOstrelTask(), Ostrel::TransferTask::VALUE_MODE, mode);
    repeater->sendTaskType(mode);
    std::wstring key;
    if (data)
        key = *static_cast<const std::wstring*>(data);
    std::string link;
    readTaskValue(getOstrelTask(), Ostrel::UploadTask::VALUE_LINK, link);
    int expiry = 0;
    readTaskValue(getOstrelTask(), Ostrel::TransferTask::VALUE_EXPIRES_TIME, expiry);
    repeater->sendKeyInfo(key, link, expiry);
}
