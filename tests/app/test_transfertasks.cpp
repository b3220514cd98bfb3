#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "ostrel/HttpServer.h"
#include "ostrel/UploadTask.h"
#include "sandbox.h"
#include "servicerunner.h"
#include "suites.h"
#include "task/paramdownload.h"
#include "task/paramlinksharingdownload.h"
#include "task/paramupload.h"
#include "task/taskdownload.h"
#include "task/tasklinksharingdownload.h"
#include "task/taskupload.h"
#include "task/transfilemaker.h"
#include "tasktestutil.h"
#include "transferlistener.h"
#include "transferpeer.h"

namespace
{

const int kWait = 30000;

QByteArray sha256(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    quint32 x = 2463534242u + seed;
    for (int i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = char(x & 0xff);
    }
    return bytes;
}

// The real service with its partner-cloud double, both on free loopback ports.
class PartnerService
{
public:
    ~PartnerService()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(2000);
            }
        }
    }

    bool start()
    {
        process_.setStandardErrorFile(dataDir_.path() + "/service.log");
        for (int attempt = 0; attempt < 3; ++attempt) {
            port_ = freeLoopbackPort();
            partnerPort_ = freeLoopbackPort();
            if (port_ == partnerPort_)
                continue;
            process_.start(TROVANTI_SERVICE_BIN, {"--bind", "127.0.0.1", "--port", QString::number(port_),
                                                  "--partner-port", QString::number(partnerPort_), "--data-dir",
                                                  dataDir_.path()});
            if (!process_.waitForStarted(5000))
                continue;
            QString out;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 10000 && process_.state() == QProcess::Running) {
                process_.waitForReadyRead(200);
                out += QString::fromUtf8(process_.readAll());
                if (out.contains("listening on"))
                    return true;
            }
            process_.kill();
            process_.waitForFinished(2000);
        }
        return false;
    }

    QString apiUrl() const { return QString("http://127.0.0.1:%1/api/v1/").arg(port_); }
    QString partnerUrl() const { return QString("http://127.0.0.1:%1/").arg(partnerPort_); }

    // Shares the files on the partner cloud; the key, or empty on failure.
    QString share(const QMap<QString, QByteArray>& files) const
    {
        QJsonArray list;
        for (auto it = files.begin(); it != files.end(); ++it)
            list.append(QJsonObject{{"name", it.key()}, {"data", QString::fromLatin1(it.value().toBase64())}});
        // A plain HTTP/1.1 exchange on a blocking socket keeps the test free of event-loop timing.
        const QByteArray payload = QJsonDocument(QJsonObject{{"files", list}}).toJson(QJsonDocument::Compact);
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(partnerPort_));
        if (!socket.waitForConnected(5000))
            return QString();
        socket.write("POST /share HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n"
                     "Connection: close\r\nContent-Length: " +
                     QByteArray::number(payload.size()) + "\r\n\r\n" + payload);
        QByteArray answer;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000 && socket.state() == QAbstractSocket::ConnectedState) {
            socket.waitForReadyRead(200);
            answer += socket.readAll();
        }
        answer += socket.readAll();
        const int bodyAt = answer.indexOf("\r\n\r\n");
        if (!answer.startsWith("HTTP/1.1 200") || bodyAt < 0)
            return QString();
        const QString key = QJsonDocument::fromJson(answer.mid(bodyAt + 4)).object().value("key").toString();
        return key;
    }

private:
    QTemporaryDir dataDir_;
    QProcess process_;
    int port_ = 0;
    int partnerPort_ = 0;
};

} // namespace

// Sends and receives through the task manager against the real service on loopback, with a bare
// engine task as the other device.
class TestTransferTasks : public QObject
{
    Q_OBJECT

    QTemporaryDir src_{QDir::tempPath() + "/trovanti-transfer-src-XXXXXX"};
    QMap<QString, QByteArray> sent_;  // name the receiver sees -> bytes
    QStringList picks_;

    QString at(const QString& relative) const { return src_.path() + "/" + relative; }

    // The source tree: two loose files and a folder with three (one big enough for progress).
    void makeTree()
    {
        const QList<QPair<QString, QByteArray>> files = {
            {"notes.txt", "a few words\n"},
            {"blob.bin", pattern(700 * 1024 + 3, 1)},
            {"Photos/p1.jpg", pattern(40 * 1024, 2)},
            {"Photos/sub/a.jpg", pattern(5000, 3)},
            {"Photos/sub/deep/b.png", pattern(17, 4)},
        };
        for (const auto& f : files) {
            QDir().mkpath(QFileInfo(at(f.first)).absolutePath());
            writeFile(at(f.first), f.second);
            sent_.insert(f.first, f.second);
        }
        picks_ = QStringList({at("notes.txt"), at("blob.bin"), at("Photos")});
    }

    // Everything a finished transfer must show, on either side: `files` maps the names the
    // receiver sees to their bytes.
    void checkTransfer(const TransferListener& l, const QString& recvDir, bool direct,
                       const QMap<QString, QByteArray>& files)
    {
        QCOMPARE(l.offThread, 0);
        QCOMPARE(l.finish, 257);
        QCOMPARE(l.events.last(), QString("finish 257"));
        QCOMPARE(l.events.filter("error").size(), 0);
        QCOMPARE(l.listCount, 1);
        QCOMPARE(l.types.size(), 1);
        // Type, then key, then the list, then the per-file states.
        QVERIFY2(l.indexOf("type") == 0 && l.indexOf("key") == 1, qPrintable(l.events.join(",")));
        QVERIFY(l.indexOf("list") > l.indexOf("key"));
        QVERIFY(l.indexOf("file") > l.indexOf("list"));
        QCOMPARE(l.unknownKeys, 0);

        QStringList names;
        for (int i = 0; i < l.list.count(); ++i) {
            const TransFileState s = l.list.getAt(i);
            names << s.getName();
            QCOMPARE(s.getTransState(), int(TransFileState::STAT_FINISHED));
            QCOMPARE(s.getTransSize(), s.getFileSize());
            QCOMPARE(sha256(recvDir + "/" + s.getName()),
                     QCryptographicHash::hash(files.value(s.getName()), QCryptographicHash::Sha256).toHex());
        }
        names.sort();
        QStringList expected = files.keys();
        expected.sort();
        QCOMPARE(names, expected);
        qint64 total = 0;
        for (const QByteArray& bytes : files)
            total += bytes.size();
        QCOMPARE(l.list.getFileSize(), total);
        QCOMPARE(l.list.getTransSize(), total);
        QCOMPARE(l.list.getTransCount(), expected.size());
        // Every file's last word is "finished"; bytes moved on the route the mode says.
        QMap<QString, int> last;
        for (const TransFileState& s : l.fileStates)
            last[s.getHashKey()] = s.getTransState();
        QCOMPARE(last.size(), expected.size());
        for (int state : last)
            QCOMPARE(state, int(TransFileState::STAT_FINISHED));
        if (direct)
            QVERIFY(!l.statesSeen.contains(TransFileState::STAT_SERVER));
        else
            QVERIFY(!l.statesSeen.contains(TransFileState::STAT_ACTIVE) &&
                    !l.statesSeen.contains(TransFileState::STAT_PASSIVE));
    }

    void send(int paramMode)
    {
        TaskSandbox sandbox;
        ServiceRunner service;
        QVERIFY(service.start());
        GlobalConfig::instance()->setAPIUrl(service.apiUrl());
        QTemporaryDir recv(QDir::tempPath() + "/trovanti-transfer-recv-XXXXXX");
        const bool direct = paramMode == ParamUpload::MODE_DIRECT;

        const TransFileStateList picked = TransFileMaker::instance()->convert(picks_);
        QCOMPARE(picked.count(), sent_.size());
        TransferListener listener;
        auto* task = dynamic_cast<TaskUpload*>(
            TaskManager::instance()->runTask(ParamUpload(picked, paramMode), &listener));
        QVERIFY(task);
        QTRY_VERIFY_WITH_TIMEOUT(!listener.key.isEmpty() || listener.finished(), kWait);
        QVERIFY(!listener.key.isEmpty());
        QVERIFY(listener.link.contains("/link/"));
        QCOMPARE(listener.key, QString::fromStdWString(boost::any_cast<std::wstring>(
                                   task->getOstrelTask()->getValue(Ostrel::TransferTask::VALUE_KEY))));

        TransferPeer peer(service.apiUrl().toStdString());
        if (!direct)  // the relay keeps the files; the receiver comes afterwards
            QTRY_VERIFY_WITH_TIMEOUT(listener.finished(), kWait);
        peer.download(listener.key.toStdWString(), recv.path().toStdWString());
        QTRY_VERIFY_WITH_TIMEOUT(peer.finished() && listener.finished(), kWait);
        QCOMPARE(peer.finish(), 257);

        checkTransfer(listener, recv.path(), direct, sent_);
        QVERIFY(listener.expiry > QDateTime::currentDateTime());
        QCOMPARE(listener.types.first().getType(), direct ? TransTaskType::SEND_DIRECT : TransTaskType::SEND_UPLOAD);
        // The list entries are the engine's records, not the picked list's.
        for (int i = 0; i < listener.list.count(); ++i)
            QVERIFY(!picked.contain(listener.list.getAt(i)));
        if (direct) {
            // Learned from the file server when the peer joined, told just before the list.
            QCOMPARE(listener.peerIds, QStringList({QString::fromStdString(peer.deviceId())}));
            QCOMPARE(listener.indexOf("peer"), listener.indexOf("list") - 1);
        } else {
            QVERIFY(listener.peerIds.isEmpty());
        }
    }

    void receive(Ostrel::TransferTask::Mode mode)
    {
        TaskSandbox sandbox;
        ServiceRunner service;
        QVERIFY(service.start());
        QTemporaryDir recv(QDir::tempPath() + "/trovanti-transfer-recv-XXXXXX");
        GlobalConfig::instance()->setAPIUrl(service.apiUrl());
        GlobalConfig::instance()->setRecvPath(recv.path());
        const bool direct = mode == Ostrel::TransferTask::MODE_DIRECT;

        TransferPeer peer(service.apiUrl().toStdString());
        std::vector<std::wstring> paths;
        for (const QString& pick : picks_)
            paths.push_back(pick.toStdWString());
        peer.upload(paths, mode);
        QTRY_VERIFY_WITH_TIMEOUT(peer.keyKnown() || peer.finished(), kWait);
        QVERIFY(peer.keyKnown());
        if (!direct)
            QTRY_VERIFY_WITH_TIMEOUT(peer.finished(), kWait);

        TransferListener listener;
        const QString key = QString::fromStdWString(peer.key());
        QVERIFY(TaskManager::instance()->runTask(ParamDownload(key, "", ""), &listener));
        QTRY_VERIFY_WITH_TIMEOUT(listener.finished() && peer.finished(), kWait);
        QCOMPARE(peer.finish(), 257);

        checkTransfer(listener, recv.path(), direct, sent_);
        QVERIFY(listener.expiry > QDateTime::currentDateTime());
        QCOMPARE(listener.types.first().getType(), direct ? TransTaskType::RECV_DIRECT : TransTaskType::RECV_UPLOAD);
        QCOMPARE(listener.key, key);
        QVERIFY(listener.link.isEmpty());
        // A receiver always learns the sender from the key lookup.
        QCOMPARE(listener.peerIds, QStringList({QString::fromStdString(peer.deviceId())}));
        QCOMPARE(listener.indexOf("peer"), listener.indexOf("list") - 1);
        for (int i = 0; i < listener.list.count(); ++i)
            QCOMPARE(listener.list.getAt(i).getPath(), recv.path() + "/" + listener.list.getAt(i).getName());
        QVERIFY(QDir(recv.path()).entryList({"*.trovanti"}, QDir::Files).isEmpty());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(src_.isValid());
        makeTree();
        // The embedded server of this process gets a port of its own, so tests can run side by side.
        Ostrel::HttpServer::setPortCandidates({static_cast<uint16_t>(freeLoopbackPort())});
    }
    void cleanupTestCase()
    {
        Ostrel::HttpServer::setPortCandidates(Ostrel::HttpServer::defaultPorts());
        TransFileMaker::cleanUp();
    }

    void sendDirect() { send(ParamUpload::MODE_DIRECT); }
    void sendThroughServer() { send(ParamUpload::MODE_UPLOAD); }
    void receiveDirect() { receive(Ostrel::TransferTask::MODE_DIRECT); }
    void receiveThroughServer() { receive(Ostrel::TransferTask::MODE_UPLOAD); }

    // A partner key fails an ordinary receive with its terms URL, then arrives through the
    // partner-link wrapper once the terms are accepted.
    void receivePartnerLink()
    {
        TaskSandbox sandbox;
        PartnerService service;
        QVERIFY(service.start());
        QTemporaryDir recv(QDir::tempPath() + "/trovanti-transfer-recv-XXXXXX");
        GlobalConfig::instance()->setAPIUrl(service.apiUrl());
        GlobalConfig::instance()->setRecvPath(recv.path());
        sandbox.box().setEnv("TROVANTI_PARTNER_URL", service.partnerUrl().toUtf8());
        const QMap<QString, QByteArray> files = {{"photo.bin", pattern(300 * 1024 + 5, 7)},
                                                 {"notes.txt", "shared by link"}};
        const QString key = service.share(files);
        QVERIFY(!key.isEmpty());

        {
            TransferListener listener;
            auto* task = dynamic_cast<TaskDownload*>(
                TaskManager::instance()->runTask(ParamDownload(key, "", ""), &listener));
            QVERIFY(task);
            QTRY_VERIFY_WITH_TIMEOUT(listener.finished(), kWait);
            QCOMPARE(listener.events, QStringList({"error 536", "finish 259"}));
            QCOMPARE(listener.offThread, 0);
            QCOMPARE(task->getLinkSharingTermsUrl(), service.partnerUrl() + "terms");
            QVERIFY(QDir(recv.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
        }

        TransferListener listener;
        TaskBase* task = TaskManager::instance()->runTask(ParamLinkSharingDownload(key.toLower(), "", ""), &listener);
        QVERIFY(dynamic_cast<TaskLinkSharingDownload*>(task));
        QTRY_VERIFY_WITH_TIMEOUT(listener.finished(), kWait);
        // The files come straight from the partner's URLs, this device fetching them (not the relay).
        checkTransfer(listener, recv.path(), true, files);
        QCOMPARE(listener.types.first().getType(), TransTaskType::RECV_UPLOAD);
        QCOMPARE(listener.key.toUpper(), key);
        // The partner's key carries the partner as its owner.
        QCOMPARE(listener.peerIds, QStringList({"velora"}));
        // The partner's credentials are kept for the next run.
        QVERIFY(!GlobalConfig::instance()->readRawValue("access_token").isEmpty());
    }
};

int runTransferTaskTests(int argc, char** argv)
{
    TestTransferTasks test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_transfertasks.moc"
