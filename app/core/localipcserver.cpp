#include "core/localipcserver.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include "core/log.h"

const char* const LocalIPCServer::kShowOnName = "trovantishowOn";
const char* const LocalIPCServer::kFileName = "trovantifile";

LocalIPCServer* LocalIPCServer::instance_ = nullptr;

namespace
{

// A peer that has already gone never emits disconnected() again; release such sockets here.
struct ReleaseWhenClosed {
    QLocalSocket* socket;
    ~ReleaseWhenClosed()
    {
        if (socket->state() == QLocalSocket::UnconnectedState)
            socket->deleteLater();
    }
};

} // namespace

LocalIPCServer* LocalIPCServer::instance()
{
    if (!instance_)
        instance_ = new LocalIPCServer();
    return instance_;
}

void LocalIPCServer::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

LocalIPCServer::~LocalIPCServer()
{
    delete fileServer_;
    delete showOnServer_;
}

QString LocalIPCServer::socketPath(const QString& name)
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/" + name;
}

bool LocalIPCServer::init()
{
    delete fileServer_;
    delete showOnServer_;
    fileServer_ = new QLocalServer(this);
    showOnServer_ = new QLocalServer(this);
    connect(fileServer_, &QLocalServer::newConnection, this, &LocalIPCServer::readFile);
    connect(showOnServer_, &QLocalServer::newConnection, this, &LocalIPCServer::readShowOn);

    const QString filePath = socketPath(kFileName);
    const QString showPath = socketPath(kShowOnName);
    QLocalServer::removeServer(filePath);
    QLocalServer::removeServer(showPath);
    // Only this user may connect.
    fileServer_->setSocketOptions(QLocalServer::UserAccessOption);
    showOnServer_->setSocketOptions(QLocalServer::UserAccessOption);
    const bool fileOk = fileServer_->listen(filePath);
    const bool showOk = showOnServer_->listen(showPath);
    return fileOk && showOk;
}

QLocalSocket* LocalIPCServer::takeConnection(QLocalServer* server)
{
    QLocalSocket* socket = server ? server->nextPendingConnection() : nullptr;
    if (socket)
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    return socket;
}

void LocalIPCServer::readShowOn()
{
    QLocalSocket* socket = takeConnection(showOnServer_);
    if (!socket)
        return;
    ReleaseWhenClosed release{socket};
    if (socket->bytesAvailable() == 0)
        socket->waitForReadyRead(kFirstDataWaitMs);
    const QByteArray data = socket->readAll();
    if (data.isEmpty() || data.at(0) != '\x01')
        return;
    Log::getLog(Log::Both) << "LocalIPCServer: show request\n";
    emit showOnRequested();
}

void LocalIPCServer::readFile()
{
    QLocalSocket* socket = takeConnection(fileServer_);
    if (!socket)
        return;
    ReleaseWhenClosed release{socket};
    // A long file list can arrive in several pieces; the sender closes when it is done, so read
    // until then (bounded) rather than act on a truncated list that may name other files.
    QElapsedTimer clock;
    clock.start();
    if (socket->bytesAvailable() == 0)
        socket->waitForReadyRead(kFirstDataWaitMs);
    QByteArray data = socket->readAll();
    if (data.isEmpty())
        return;
    while (socket->state() == QLocalSocket::ConnectedState && data.size() <= kMaxMessageBytes) {
        const int left = kMessageTimeoutMs - static_cast<int>(clock.elapsed());
        if (left <= 0 || !socket->waitForReadyRead(left))
            break;
        data += socket->readAll();
    }
    data += socket->readAll();
    if (socket->state() == QLocalSocket::ConnectedState || data.size() > kMaxMessageBytes) {
        Log::getLog(Log::Both) << "LocalIPCServer: incomplete file request dropped\n";
        return;
    }
    QString deviceId;
    QString fileList;
    if (!parseFileMessage(data, &deviceId, &fileList)) {
        Log::getLog(Log::Both) << "LocalIPCServer: malformed file request ignored\n";
        return;
    }
    Log::getLog(Log::Both) << "LocalIPCServer: files for device \"" << deviceId << "\": " << fileList << "\n";
    emit filesRequested(deviceId, fileList);
}

bool LocalIPCServer::parseFileMessage(const QByteArray& data, QString* deviceId, QString* fileList)
{
    const QString text(reinterpret_cast<const QChar*>(data.constData()), data.size() / 2);
    const QStringList parts = text.split(">>", Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return false;
    *deviceId = parts.at(0);
    *fileList = parts.at(1);
    return true;
}
