#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// Receives a second start's requests on the local sockets "trovantishowOn" and "trovantifile"
// (Unix-domain sockets in the user's runtime directory) and hands them on as signals.
class LocalIPCServer : public QObject
{
    Q_OBJECT
public:
    static LocalIPCServer* instance();
    static void cleanUp();

    static const char* const kShowOnName;
    static const char* const kFileName;
    static constexpr int kFirstDataWaitMs = 1000;
    static constexpr int kMessageTimeoutMs = 3000;
    static constexpr int kMaxMessageBytes = 16 * 1024 * 1024;

    // Full socket path for a name: the runtime directory keeps instances of different users
    // (and tests run side by side) apart.
    static QString socketPath(const QString& name);

    // Starts listening on both sockets. Only called while holding the single-instance lock, so a
    // socket file that is still there was left behind by an instance that died and is removed.
    bool init();

    // Parses a file message; false unless it splits into exactly two parts at ">>".
    static bool parseFileMessage(const QByteArray& data, QString* deviceId, QString* fileList);

    ~LocalIPCServer() override;

signals:
    void showOnRequested();
    void filesRequested(const QString& deviceId, const QString& fileList);

public slots:
    void readShowOn();
    void readFile();

private:
    LocalIPCServer() = default;
    static QLocalSocket* takeConnection(QLocalServer* server);

    QLocalServer* fileServer_ = nullptr;
    QLocalServer* showOnServer_ = nullptr;
    static LocalIPCServer* instance_;
};
