#include "task/taskdownload.h"

#include <string>

#include "ostrel/DownloadTask.h"
#include "task/repeaterdownload.h"
#include "task/taskvalue.h"

TaskDownload::TaskDownload(const ParamDownload& param, QObject* receiver)
    : TaskTransfer(param, receiver, new RepeaterDownload(receiver))
{
}

void TaskDownload::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamDownload&>(*getParam());
    launch(new Ostrel::DownloadTask(param.getKey(), std::wstring()), &option_);
}

void TaskDownload::callback(int state, int detail, const void* data)
{
    TaskTransfer::callback(state, detail, data);
    if (state == Ostrel::TransferTask::STATE_PREPARING && detail == Ostrel::TransferTask::PREPARING_UPDATED_KEY)
        sendKeyDetails();
}

void TaskDownload::sendKeyDetails()
{
    auto* repeater = static_cast<RepeaterDownload*>(getRepeater());
    Ostrel::TransferTask::Mode mode = Ostrel::TransferTask::MODE_NONE;
    readTaskValue(getOstrelTask(), Ostrel::TransferTask::VALUE_MODE, mode);
    repeater->sendTaskType(mode);
    std::wstring key;
    readTaskValue(getOstrelTask(), Ostrel::TransferTask::VALUE_KEY, key);
    int expiry = 0;
    readTaskValue(getOstrelTask(), Ostrel::TransferTask::VALUE_EXPIRES_TIME, expiry);
    repeater->sendKeyInfo(key, expiry);
}

QString TaskDownload::getLinkSharingTermsUrl() const
{
    std::string url;
    readTaskValue(getOstrelTask(), Ostrel::DownloadTask::VALUE_TERMS_URL, url);
    return QString::fromStdString(url);
}
