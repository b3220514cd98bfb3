#pragma once

#include <string>

#include <QDateTime>
#include <QString>

#include "task/repeatertransfer.h"
#include "task/transtasktype.h"

// A send's relay: besides the transfer signals, the key with its link and expiry, and the task type.
class RepeaterUpload : public RepeaterTransfer {
    Q_OBJECT
public:
    explicit RepeaterUpload(QObject* receiver) : RepeaterTransfer(receiver) {}
    RepeaterBase* clone() const override { return new RepeaterUpload(receiver()); }
    void connect() override
    {
        RepeaterTransfer::connect();
        relay(SIGNAL(sendSigKeyInfo(const QString&, const QString&, const QDateTime&)),
              SLOT(recvSigKeyInfo(const QString&, const QString&, const QDateTime&)));
        relay(SIGNAL(sendSigTaskType(const TransTaskType&)), SLOT(recvSigTaskType(const TransTaskType&)));
    }

    void sendKeyInfo(const std::wstring& key, const std::string& link, int expirySeconds)
    {
        emit sendSigKeyInfo(QString::fromStdWString(key), QString::fromStdString(link),
                            QDateTime::fromSecsSinceEpoch(expirySeconds));
    }
    // No type is known for an undetermined mode, so none is sent.
    void sendTaskType(int mode)
    {
        const TransTaskType type = TransTaskType::fromMode(mode, true);
        if (type.getType() != TransTaskType::UNKNOWN)
            emit sendSigTaskType(type);
    }

signals:
    void sendSigKeyInfo(const QString& key, const QString& link, const QDateTime& expiry);
    void sendSigTaskType(const TransTaskType& type);
};
