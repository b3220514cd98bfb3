#pragma once

#include <QString>

#include "task/option.h"
#include "task/paramdownload.h"
#include "task/tasktransfer.h"

// Runs Ostrel::DownloadTask for the GUI; the files go to the receive folder of the settings.
class TaskDownload : public TaskTransfer {
    Q_OBJECT
public:
    TaskDownload(const ParamDownload& param, QObject* receiver);
    void start() override;
    void callback(int state, int detail, const void* data) override;
    // The partner's terms URL once the key turned out to be a partner link (error 536).
    QString getLinkSharingTermsUrl() const;

protected:
    // The key type, then key and expiry, once the key is known; shared with the partner-link wrapper.
    void sendKeyDetails();

    Option option_;
};
