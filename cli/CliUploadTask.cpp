#include "CliUploadTask.h"

CliUploadTask::CliUploadTask(const std::vector<std::wstring>& paths, Mode mode, unsigned long rateLimit)
    : UploadTask(paths, mode)
{
    mainSession_.setTransferSpeedLimit(rateLimit);
    directSession_.setTransferSpeedLimit(rateLimit);
}

CliUploadTask::~CliUploadTask()
{
    stopRun();
}

bool CliUploadTask::transferFile(Ostrel::Transfer& channel, const std::string& url, const FileStateEx& record,
                                 unsigned long offset)
{
    tap_.noteStart(&record, offset);
    return UploadTask::transferFile(channel, url, record, offset);
}

std::string CliUploadTask::finalRoute() const
{
    if (mode_ == MODE_DIRECT)
        return "direct";
    if (mode_ == MODE_UPLOAD)
        return "relay";
    // A hybrid send cancels its relay session once the direct one has delivered everything.
    return currentSession_->isCancelled() && !isTaskCancelled() ? "direct" : "relay";
}
