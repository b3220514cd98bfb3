#include "task/repeatertransfer.h"

#include <QMetaType>

#include "task/transtasktype.h"

RepeaterTransfer::RepeaterTransfer(QObject* receiver) : RepeaterBase(receiver) { registerMetaTypes(); }

void RepeaterTransfer::registerMetaTypes()
{
    static const bool done = [] {
        qRegisterMetaType<TransFileState>("TransFileState");
        qRegisterMetaType<TransFileStateList>("TransFileStateList");
        qRegisterMetaType<TransTaskType>("TransTaskType");
        return true;
    }();
    (void)done;
}

void RepeaterTransfer::connect()
{
    RepeaterBase::connect();
    relay(SIGNAL(sendSigFileStateList(const TransFileStateList&)), SLOT(recvSigFileStateList(const TransFileStateList&)));
    relay(SIGNAL(sendSigFileState(const TransFileState&)), SLOT(recvSigFileState(const TransFileState&)));
    relay(SIGNAL(sendSigPeerDevID(const QString&)), SLOT(recvSigPeerDevID(const QString&)));
}

int RepeaterTransfer::stateOfDetail(int detail)
{
    using T = Ostrel::TransferTask;
    switch (detail) {
    case T::TRANSFERRING_SERVER: return TransFileState::STAT_SERVER;
    case T::TRANSFERRING_ACTIVE: return TransFileState::STAT_ACTIVE;
    case T::TRANSFERRING_PASSIVE: return TransFileState::STAT_PASSIVE;
    case T::TRANSFERRING_END_FILE: return TransFileState::STAT_FINISHED;
    default: return TransFileState::STAT_OTHER;
    }
}

TransFileState RepeaterTransfer::convert(const Ostrel::TransferTask::FileState& record, int transState)
{
    return TransFileState(QString::asprintf("%8p", static_cast<const void*>(&record)),
                          QString::fromStdWString(record.path), QString::fromStdWString(record.name),
                          static_cast<qint64>(record.size), static_cast<qint64>(record.transferred), transState);
}

void RepeaterTransfer::sendFileStateList(const std::vector<Ostrel::TransferTask::FileState*>& records)
{
    TransFileStateList list;
    for (const Ostrel::TransferTask::FileState* record : records)
        if (record)
            list.add(convert(*record, TransFileState::STAT_OTHER));
    emit sendSigFileStateList(list);
}

void RepeaterTransfer::sendFileState(const Ostrel::TransferTask::FileState* record, int detail)
{
    if (record)
        emit sendSigFileState(convert(*record, stateOfDetail(detail)));
}
