#include "core/localipcclient.h"

#include <QLocalSocket>

#include "core/localipcserver.h"

LocalIPCClient* LocalIPCClient::instance_ = nullptr;

LocalIPCClient* LocalIPCClient::instance()
{
    if (!instance_)
        instance_ = new LocalIPCClient();
    return instance_;
}

void LocalIPCClient::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

QByteArray LocalIPCClient::fileMessage(const QString& deviceId, const QString& fileList)
{
    const QString text = deviceId + ">>" + fileList;
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

void LocalIPCClient::sendShowOn()
{
    send(LocalIPCServer::kShowOnName, QByteArray(1, '\x01'));
}

void LocalIPCClient::sendFiles(const QString& deviceId, const QString& fileList)
{
    send(LocalIPCServer::kFileName, fileMessage(deviceId, fileList));
}

void LocalIPCClient::send(const QString& name, const QByteArray& data)
{
    auto* socket = new QLocalSocket();
    socket->connectToServer(LocalIPCServer::socketPath(name), QIODevice::WriteOnly);
    if (socket->waitForConnected(kTimeoutMs)) {
        socket->write(data);
        while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(kTimeoutMs)) {
        }
        socket->disconnectFromServer();
    }
    socket->disconnect();
    delete socket;
}
