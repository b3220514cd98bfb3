#pragma once

#include <QObject>
#include <QString>

// A second start's messages to the running instance. Fire and forget: nothing is acknowledged
// and a failed connection is silent.
class LocalIPCClient : public QObject
{
    Q_OBJECT
public:
    static LocalIPCClient* instance();
    static void cleanUp();

    static constexpr int kTimeoutMs = 3000;

    void sendShowOn();
    void sendFiles(const QString& deviceId, const QString& fileList);

    // The bytes of a file message: ID + ">>" + LIST as UTF-16 code units in host byte order.
    static QByteArray fileMessage(const QString& deviceId, const QString& fileList);

private:
    LocalIPCClient() = default;
    void send(const QString& name, const QByteArray& data);
    static LocalIPCClient* instance_;
};
