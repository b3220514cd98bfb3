#include "CliDownloadTask.h"

CliDownloadTask::CliDownloadTask(const std::wstring& key, const std::wstring& directory,
                                 const std::vector<std::wstring>& selected, const std::wstring& pattern,
                                 unsigned long rateLimit)
    : DownloadTask(key, directory)
{
    selected_ = selected;
    pattern_ = pattern;
    mainSession_.setTransferSpeedLimit(rateLimit);
    directSession_.setTransferSpeedLimit(rateLimit);
}

CliDownloadTask::~CliDownloadTask()
{
    stopRun();
}

bool CliDownloadTask::transferFile(Ostrel::Transfer& channel, const std::string& url, const FileStateEx& record,
                                   unsigned long offset)
{
    tap_.noteStart(&record, offset);
    return DownloadTask::transferFile(channel, url, record, offset);
}

std::string CliDownloadTask::finalRoute() const
{
    if (mode_ == MODE_DIRECT)
        return "direct";
    if (mode_ == MODE_UPLOAD)
        return "relay";
    // A hybrid receive tries the direct route first and falls back to the relay only if it failed.
    return currentSession_->remoteFiles().empty() || !currentSession_->isRelay() ? "direct" : "relay";
}
