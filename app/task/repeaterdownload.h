#pragma once

#include <string>

#include <QDateTime>
#include <QString>

#include "task/repeatertransfer.h"
#include "task/transtasktype.h"

// A receive's relay (both plain and partner-link keys): the key with its expiry, and the task type.
class RepeaterDownload : public RepeaterTransfer {
    Q_OBJECT
public:
    explicit RepeaterDownload(QObject* receiver) : RepeaterTransfer(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterDownload(receiver()); }
    void connect() override
    {
        RepeaterTransfer::connect();
        relay(SIGNAL(sendSigKeyInfo(const QString&, const QDateTime&)),
              SLOT(recvSigKeyInfo(const QString&, const QDateTime&)));
        relay(SIGNAL(sendSigTaskType(const TransTaskType&)), SLOT(recvSigTaskType(const TransTaskType&)));
    }

    void sendKeyInfo(const std::wstring& key, int expirySeconds)
    {
        emit sendSigKeyInfo(QString::fromStdWString(key), QDateTime::fromSecsSinceEpoch(expirySeconds));
    }
    // No type is known for an undetermined mode, so none is sent.
    void sendTaskType(int mode)
    {
        const TransTaskType type = TransTaskType::fromMode(mode, false);
        if (type.getType() != TransTaskType::UNKNOWN)
            emit sendSigTaskType(type);
    }

signals:
    void sendSigKeyInfo(const QString& key, const QDateTime& expiry);
    void sendSigTaskType(const TransTaskType& type);
};
