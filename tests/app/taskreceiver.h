#pragma once

#include <QObject>
#include <QStringList>
#include <QThread>

#include "task/devinfomylist.h"
#include "task/devinfonearbylist.h"
#include "task/devinfoquerylist.h"
#include "task/recptkeyinfo.h"

// Receives every kind of task result and records it in arrival order as short words
// ("finish 257", "error 518", "devlist 1" ...), noting any that arrives off the GUI thread.
class TaskReceiver : public QObject
{
    Q_OBJECT
public:
    QStringList events;
    int offGuiThread = 0;
    DevInfoMyList myList;
    DevInfoNearbyList nearbyList;
    DevInfoQueryList queryList;
    RecptKeyInfo keyInfo;
    int pushResult = -1;

    bool finished() const { return events.filter("finish ").size() > 0; }
    int finishCount() const { return events.filter("finish ").size(); }

public slots:
    void recvSigFinish(const int& detail) { note(QString("finish %1").arg(detail)); }
    void recvSigError(const int& detail) { note(QString("error %1").arg(detail)); }
    void recvSigDevInfoList(const DevInfoMyList& list)
    {
        myList = list;
        note(QString("devlist %1").arg(list.count()));
    }
    void recvSigDevInfoList(const DevInfoNearbyList& list)
    {
        nearbyList = list;
        note(QString("nearby %1").arg(list.count()));
    }
    void recvSigDevInfoList(const DevInfoQueryList& list)
    {
        queryList = list;
        note(QString("query %1").arg(list.count()));
    }
    void recvSigRecptKeyInfo(const RecptKeyInfo& info)
    {
        keyInfo = info;
        note("keyinfo");
    }
    void recvSigResult(const int& result)
    {
        pushResult = result;
        note(QString("result %1").arg(result));
    }

private:
    void note(const QString& word)
    {
        if (QThread::currentThread() != thread())
            ++offGuiThread;
        events.append(word);
    }
};
