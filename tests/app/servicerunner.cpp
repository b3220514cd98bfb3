#include "servicerunner.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>

int freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

ServiceRunner::ServiceRunner()
{
    // The request log goes to a file so that a full pipe never stalls the service.
    process_.setStandardErrorFile(dataDir_.path() + "/service.log");
}

ServiceRunner::~ServiceRunner()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
}

bool ServiceRunner::start()
{
    // A port found free may be taken before the service binds it: try a few.
    for (int attempt = 0; attempt < 3; ++attempt) {
        port_ = freeLoopbackPort();
        process_.start(TROVANTI_SERVICE_BIN, {"--bind", "127.0.0.1", "--port", QString::number(port_),
                                              "--partner-port", "0", "--data-dir", dataDir_.path()});
        if (!process_.waitForStarted(5000))
            continue;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(200);
            log_ += QString::fromUtf8(process_.readAll());
            if (log_.contains("listening on"))
                return true;
        }
        process_.kill();
        process_.waitForFinished(2000);
    }
    return false;
}

QString ServiceRunner::apiUrl() const { return QString("http://127.0.0.1:%1/api/v1/").arg(port_); }
QString ServiceRunner::pushUrl() const { return QString("http://127.0.0.1:%1/push/v1/").arg(port_); }
