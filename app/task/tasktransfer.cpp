#include "task/tasktransfer.h"

#include <string>
#include <vector>

#include "ostrel/TransferTask.h"
#include "task/paramupload.h"
#include "task/repeatertransfer.h"
#include "task/taskvalue.h"

TaskTransfer::TaskTransfer(const ParamBase& param, QObject* receiver, RepeaterTransfer* repeater)
    : TaskBase(param, receiver, repeater)
{
}

RepeaterTransfer* TaskTransfer::transferRepeater() const { return static_cast<RepeaterTransfer*>(getRepeater()); }

bool TaskTransfer::isPeerDev() const
{
    const auto* upload = dynamic_cast<const ParamUpload*>(getParam());
    return !(upload && (upload->getMode() == ParamUpload::MODE_UPLOAD || upload->getMode() == ParamUpload::MODE_HYBRID));
}

void TaskTransfer::sendPeerDev()
{
    if (!isPeerDev())
        return;
    std::string id;
    if (readTaskValue(getOstrelTask(), Ostrel::TransferTask::VALUE_PEER_DEVICE_ID, id) && !id.empty())
        transferRepeater()->sendPeerDevID(QString::fromStdString(id));
}

void TaskTransfer::callback(int state, int detail, const void* data)
{
    TaskBase::callback(state, detail, data);
    using T = Ostrel::TransferTask;
    if (state == T::STATE_PREPARING && detail == T::PREPARING_UPDATED_FILE_LIST) {
        sendPeerDev();
        if (data)
            transferRepeater()->sendFileStateList(*static_cast<const std::vector<T::FileState*>*>(data));
    } else if (state == T::STATE_TRANSFERRING) {
        transferRepeater()->sendFileState(static_cast<const T::FileState*>(data), detail);
    }
}
