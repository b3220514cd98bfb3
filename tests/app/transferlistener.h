#pragma once

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QThread>

#include "task/transfilestate.h"
#include "task/transfilestatelist.h"
#include "task/transtasktype.h"

// Takes every transfer signal and records it in arrival order as a short word ("type", "key",
// "peer", "list", "file", "error 524", "finish 257"), noting any that arrives off its own thread.
// The announced list is kept up to date with the per-file states, as a transfer card does.
class TransferListener : public QObject
{
    Q_OBJECT
public:
    QStringList events;
    int offThread = 0;
    TransFileStateList list;
    int listCount = 0;
    QList<TransFileState> fileStates;
    QSet<int> statesSeen;
    int unknownKeys = 0;
    QList<TransTaskType> types;
    QString key;
    QString link;
    QDateTime expiry;
    QStringList peerIds;
    int finish = -1;

    bool finished() const { return finish >= 0; }
    int indexOf(const QString& word) const { return events.indexOf(word); }

public slots:
    void recvSigFinish(const int& detail)
    {
        finish = detail;
        note(QString("finish %1").arg(detail));
    }
    void recvSigError(const int& detail) { note(QString("error %1").arg(detail)); }
    void recvSigFileStateList(const TransFileStateList& states)
    {
        list = states;
        ++listCount;
        note("list");
    }
    void recvSigFileState(const TransFileState& state)
    {
        fileStates.append(state);
        statesSeen.insert(state.getTransState());
        if (list.contain(state))
            list.update(state);
        else
            ++unknownKeys;
        note("file");
    }
    void recvSigPeerDevID(const QString& id)
    {
        peerIds.append(id);
        note("peer");
    }
    void recvSigKeyInfo(const QString& k, const QString& l, const QDateTime& e)
    {
        key = k;
        link = l;
        expiry = e;
        note("key");
    }
    void recvSigKeyInfo(const QString& k, const QDateTime& e)
    {
        key = k;
        expiry = e;
        note("key");
    }
    void recvSigTaskType(const TransTaskType& type)
    {
        types.append(type);
        note("type");
    }

private:
    void note(const QString& word)
    {
        if (QThread::currentThread() != thread())
            ++offThread;
        events.append(word);
    }
};
