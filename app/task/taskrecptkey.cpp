#include "task/taskrecptkey.h"

#include "ostrel/PushListenerTask.h"
#include "task/repeaterrecptkey.h"
#include "task/taskvalue.h"

TaskRecptKey::TaskRecptKey(const ParamRecptKey& param, QObject* receiver) : TaskBase(param, receiver, new RepeaterRecptKey(receiver)) {}

void TaskRecptKey::start()
{
    getRepeater()->connect();
    launch(new Ostrel::PushListenerTask(true), &option_);
}

void TaskRecptKey::callback(int state, int detail, const void* data)
{
    TaskBase::callback(state, detail, data);
    if (state != Ostrel::PushListenerTask::STATE_NOTIFICATION || !data)
        return;
    auto* repeater = static_cast<RepeaterRecptKey*>(getRepeater());
    switch (detail) {
    case Ostrel::PushListenerTask::NOTIFICATION_RECEIVE_KEY:
    case Ostrel::PushListenerTask::NOTIFICATION_RECEIVE_KEY_REALTIME:
        repeater->sendRecvKey(QString::fromStdWString(*static_cast<const std::wstring*>(data)));
        break;
    case Ostrel::PushListenerTask::NOTIFICATION_PEER_RECEIVE_COMPLETEED: {
        const auto* peer = static_cast<const Ostrel::PushListenerTask::ReceivedPeerInfo*>(data);
        repeater->sendRecvDoneKey(QString::fromStdWString(peer->key), QString::fromStdString(peer->peerDeviceId));
        break;
    }
    default:
        break;
    }
}
