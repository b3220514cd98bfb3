#pragma once

#include "task/taskbase.h"

class RepeaterTransfer;

// What the send and receive wrappers share: the file list and per-file events, and the peer
// device id where the user may see it.
class TaskTransfer : public TaskBase {
    Q_OBJECT
public:
    TaskTransfer(const ParamBase& param, QObject* receiver, RepeaterTransfer* repeater);

    void callback(int state, int detail, const void* data) override;
    // False for a send whose key goes through the service (upload or hybrid), true otherwise.
    bool isPeerDev() const;
    // Emits the peer device id when isPeerDev() and the engine knows one.
    void sendPeerDev();

protected:
    RepeaterTransfer* transferRepeater() const;
};
