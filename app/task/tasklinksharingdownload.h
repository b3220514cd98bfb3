#pragma once

#include "task/paramlinksharingdownload.h"
#include "task/taskdownload.h"

// Runs Ostrel::DownloadLinkSharingTask for the GUI once the user accepted the partner's terms;
// events are relayed exactly as for an ordinary receive.
class TaskLinkSharingDownload : public TaskDownload {
    Q_OBJECT
public:
    TaskLinkSharingDownload(const ParamLinkSharingDownload& param, QObject* receiver);
    void start() override;
};
