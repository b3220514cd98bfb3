#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "core/singleappinstance.h"
#include "servicerunner.h"
#include "suites.h"
#include "task/option.h"
#include "task/paramupdatedevice.h"
#include "taskreceiver.h"
#include "tasktestutil.h"

namespace
{

// Stands in for a proxy that wants credentials: every request gets 407.
class ProxyRefuser : public QObject
{
public:
    ProxyRefuser()
    {
        server_.listen(QHostAddress::LocalHost, 0);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    buffer_[socket] += socket->readAll();
                    if (!buffer_[socket].contains("\r\n\r\n"))
                        return;
                    ++requests;
                    socket->write("HTTP/1.1 407 Proxy Authentication Required\r\n"
                                  "Proxy-Authenticate: Basic realm=\"office\"\r\n"
                                  "Content-Length: 0\r\nConnection: close\r\n\r\n");
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QString apiUrl() const { return QString("http://127.0.0.1:%1/api/v1/").arg(server_.serverPort()); }
    int requests = 0;

private:
    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> buffer_;
};

} // namespace

class TestTaskProxy : public QObject
{
    Q_OBJECT

private slots:
    // A proxy refusal asks once, stores the answer, and the task starts again with it.
    void proxyRefusalAsksOnceAndRetries()
    {
        TaskSandbox sandbox;
        ServiceRunner service;
        QVERIFY(service.start());
        ProxyRefuser proxy;
        GlobalConfig::instance()->setAPIUrl(proxy.apiUrl());
        int questions = 0;
        TaskBase::setProxyQuestion([&](QString& user, QString& password) {
            ++questions;
            user = "office-user";
            password = "office-pw";
            // With the credentials the way through is open again.
            GlobalConfig::instance()->setAPIUrl(service.apiUrl());
            return true;
        });
        TaskReceiver receiver;
        TaskBase* task = TaskManager::instance()->runTask(ParamUpdateDevice(), &receiver);
        QVERIFY(task);
        QTRY_VERIFY_WITH_TIMEOUT(receiver.finishCount() == 2, 20000);
        QCOMPARE(receiver.events, QStringList({"error 516", "finish 259", "finish 257"}));
        QCOMPARE(receiver.offGuiThread, 0);
        QCOMPARE(questions, 1);
        QVERIFY(proxy.requests >= 1);
        QCOMPARE(sandbox.stored("PROXY_USERNAME").toString(), QString("office-user"));
        QCOMPARE(sandbox.stored("PROXY_PASSWORD").toString(), QString("office-pw"));
        Option option;
        QCOMPARE(option.getProxyUserId(), std::string("office-user"));
        QCOMPARE(option.getProxyPassword(), std::string("office-pw"));
        // The device was registered by the second run and its credentials kept.
        QTRY_VERIFY(!sandbox.stored("DEVID").toString().isEmpty());
        QCOMPARE(TaskManager::instance()->taskCount(), 1);
    }

    // Two tasks refused while the question is open share its one answer.
    void concurrentRefusalsShareOneQuestion()
    {
        TaskSandbox sandbox;
        ServiceRunner service;
        QVERIFY(service.start());
        ProxyRefuser proxy;
        GlobalConfig::instance()->setAPIUrl(proxy.apiUrl());
        TaskReceiver first;
        TaskReceiver second;
        int questions = 0;
        TaskBase::setProxyQuestion([&](QString& user, QString& password) {
            ++questions;
            // Like a modal dialog, the question keeps the event loop turning while it is open.
            const bool bothRefused = QTest::qWaitFor([&] { return first.events.contains("error 516") && second.events.contains("error 516"); },
                                                         20000);
            user = "u";
            password = "p";
            GlobalConfig::instance()->setAPIUrl(service.apiUrl());
            return bothRefused;
        });
        TaskManager::instance()->runTask(ParamUpdateDevice(), &first);
        TaskManager::instance()->runTask(ParamUpdateDevice(), &second);
        QTRY_VERIFY_WITH_TIMEOUT(first.finishCount() == 2 && second.finishCount() == 2, 30000);
        QCOMPARE(questions, 1);
        QCOMPARE(first.events.last(), QString("finish 257"));
        QCOMPARE(second.events.last(), QString("finish 257"));
        QCOMPARE(first.events.count("error 516"), 1);
        QCOMPARE(second.events.count("error 516"), 1);
    }

    // Declining the question ends the application (runs last: the quit request stays).
    void declinedQuestionRequestsQuit()
    {
        TaskSandbox sandbox;
        ProxyRefuser proxy;
        GlobalConfig::instance()->setAPIUrl(proxy.apiUrl());
        int questions = 0;
        TaskBase::setProxyQuestion([&](QString&, QString&) {
            ++questions;
            return false;
        });
        QVERIFY(!SingleAppInstance::isQuitRequested());
        TaskReceiver receiver;
        TaskManager::instance()->runTask(ParamUpdateDevice(), &receiver);
        QTRY_VERIFY_WITH_TIMEOUT(SingleAppInstance::isQuitRequested(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(receiver.finished(), 20000);
        QCOMPARE(questions, 1);
        QCOMPARE(receiver.events, QStringList({"error 516", "finish 259"}));
        QVERIFY(sandbox.stored("PROXY_USERNAME").toString().isEmpty());
    }
};

int runTaskProxyTests(int argc, char** argv)
{
    TestTaskProxy test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_taskproxy.moc"
