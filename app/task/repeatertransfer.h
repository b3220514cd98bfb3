#pragma once

#include <vector>

#include <QString>

#include "ostrel/TransferTask.h"
#include "task/repeaterbase.h"
#include "task/transfilestate.h"
#include "task/transfilestatelist.h"

// Relays a transfer's file list, per-file states and peer device id besides finish and error.
// The helpers copy everything out of the engine records, which stay with the engine task.
class RepeaterTransfer : public RepeaterBase {
    Q_OBJECT
public:
    explicit RepeaterTransfer(QObject* receiver);
    RepeaterBase* clone() const override { return new RepeaterTransfer(receiver()); }
    void connect() override;

    void sendFileStateList(const std::vector<Ostrel::TransferTask::FileState*>& records);
    void sendFileState(const Ostrel::TransferTask::FileState* record, int detail);
    void sendPeerDevID(const QString& id) { emit sendSigPeerDevID(id); }

    // The entry for an engine record; its key is the record's address, stable for the whole task.
    static TransFileState convert(const Ostrel::TransferTask::FileState& record, int transState);
    // The file state a per-file detail stands for.
    static int stateOfDetail(int detail);
    static void registerMetaTypes();

signals:
    void sendSigFileStateList(const TransFileStateList& list);
    void sendSigFileState(const TransFileState& state);
    void sendSigPeerDevID(const QString& id);
};
