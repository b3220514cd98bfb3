#include "task/tasklinksharingdownload.h"

#include <string>

#include "ostrel/DownloadLinkSharingTask.h"
#include "task/repeaterbase.h"

TaskLinkSharingDownload::TaskLinkSharingDownload(const ParamLinkSharingDownload& param, QObject* receiver)
    : TaskDownload(param, receiver)
{
}

void TaskLinkSharingDownload::start()
{
    getRepeater()->connect();
    const auto& param = static_cast<const ParamLinkSharingDownload&>(*getParam());
    launch(new Ostrel::DownloadLinkSharingTask(param.getKey(), std::wstring()), &option_);
}
