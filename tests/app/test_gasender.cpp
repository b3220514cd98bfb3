#include <atomic>
#include <thread>
#include <vector>

#include <QtTest>

#include "core/gasender.h"
#include "core/globalconfig.h"
#include "httpsink.h"
#include "sandbox.h"
#include "suites.h"

namespace
{

QStringList names(const QList<QPair<QString, QString>>& fields)
{
    QStringList out;
    for (const auto& f : fields)
        out << f.first;
    return out;
}

QString field(const QList<QPair<QString, QString>>& fields, const QString& name)
{
    for (const auto& f : fields) {
        if (f.first == name)
            return f.second;
    }
    return QString();
}

} // namespace

class TestGASender : public QObject
{
    Q_OBJECT
private:
    Sandbox* box_ = nullptr;
    HttpSink* sink_ = nullptr;

private slots:
    void init()
    {
        box_ = new Sandbox();
        box_->unsetEnv("TROVANTI_ANALYTICS_URL");
        GlobalConfig::cleanUp();
        GlobalConfig::instance()->init();
        sink_ = new HttpSink();
        QVERIFY(sink_->listening());
        GASender::cleanUp();
        GASender::instance()->setCollectUrl(QUrl(sink_->url("/collect")));
    }

    void cleanup()
    {
        GASender::cleanUp();
        delete sink_;
        GlobalConfig::cleanUp();
        delete box_;
    }

    void defaultAddressIsTheServiceSink()
    {
        GASender::cleanUp();
        QCOMPARE(GASender::instance()->collectUrl(), QUrl("http://127.0.0.1:8470/analytics/collect"));
        GASender::cleanUp();
        qputenv("TROVANTI_ANALYTICS_URL", "");
        QVERIFY(GASender::instance()->collectUrl().isEmpty());
    }

    void screenViewIsPostedAtOnce()
    {
        GASender::instance()->sendPage("main");
        QTRY_COMPARE_WITH_TIMEOUT(sink_->requests().size(), 1, 5000);
        const HttpSink::Request& request = sink_->requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/collect"));
        QCOMPARE(request.headers.value("content-type"), QByteArray("application/x-www-form-urlencoded"));
        const auto fields = formFields(request.body);
        QCOMPARE(names(fields), (QStringList{"v", "tid", "cid", "t", "av", "cd", "an"}));
        QCOMPARE(field(fields, "v"), QString("1"));
        QVERIFY(QRegularExpression("^[A-Z]{2}-\\d{8}-\\d{2}$").match(field(fields, "tid")).hasMatch());
        QCOMPARE(field(fields, "cid"), GlobalConfig::instance()->getUUID());
        QCOMPARE(field(fields, "t"), QString("screenview"));
        QCOMPARE(field(fields, "av"), QString("3.6.19.1"));
        QCOMPARE(field(fields, "cd"), QString("main"));
        QCOMPARE(field(fields, "an"), QString("Trovanti(Linux)"));
    }

    void eventsWaitForTheBatch()
    {
        GASender* sender = GASender::instance();
        sender->sendEvent("transfer", "send", "files & more = 100% + 1", "5");
        sender->sendEvent("transfer", "receive", "", "");
        QTest::qWait(200);
        QCOMPARE(sink_->requests().size(), 0);
        QCOMPARE(sender->pendingCount(), 2);

        sender->onTimer();
        QCOMPARE(sender->pendingCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(sink_->requests().size(), 2, 5000);
        QList<QList<QPair<QString, QString>>> hits;
        for (const auto& request : sink_->requests())
            hits << formFields(request.body);
        std::sort(hits.begin(), hits.end(),
                  [](const auto& a, const auto& b) { return field(a, "ea") > field(b, "ea"); });
        QCOMPARE(names(hits[0]), (QStringList{"v", "tid", "cid", "t", "av", "ec", "ea", "el", "ev", "an"}));
        QCOMPARE(field(hits[0], "t"), QString("event"));
        QCOMPARE(field(hits[0], "ec"), QString("transfer"));
        QCOMPARE(field(hits[0], "ea"), QString("send"));
        QCOMPARE(field(hits[0], "el"), QString("files & more = 100% + 1"));
        QCOMPARE(field(hits[0], "ev"), QString("5"));
        // An empty value is left out.
        QCOMPARE(names(hits[1]), (QStringList{"v", "tid", "cid", "t", "av", "ec", "ea", "el", "an"}));
    }

    void timerSendsTheQueue()
    {
        GASender* sender = GASender::instance();
        sender->setInterval(100);
        sender->sendEvent("app", "start", "", "1");
        QTRY_COMPARE_WITH_TIMEOUT(sink_->requests().size(), 1, 5000);
        QCOMPARE(field(formFields(sink_->requests().first().body), "ea"), QString("start"));
        QCOMPARE(sender->pendingCount(), 0);
    }

    void eventsFromManyThreadsAreAllSent()
    {
        GASender* sender = GASender::instance();
        std::atomic<int> finished{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([sender, t, &finished] {
                for (int i = 0; i < 25; ++i) {
                    sender->sendEvent("thread", QString::number(t), QString::number(i), QString::number(i));
                    std::this_thread::yield();
                }
                ++finished;
            });
        }
        // The GUI thread empties the queue while the others fill it; nothing may get lost.
        while (finished.load() < 4) {
            sender->onTimer();
            QCoreApplication::processEvents();
        }
        for (auto& thread : threads)
            thread.join();
        sender->onTimer();
        QTRY_COMPARE_WITH_TIMEOUT(sink_->requests().size(), 100, 20000);
        QSet<QString> seen;
        for (const auto& request : sink_->requests()) {
            const auto fields = formFields(request.body);
            seen.insert(field(fields, "ea") + "/" + field(fields, "el"));
        }
        QCOMPARE(seen.size(), 100);
    }

    void nothingIsSentWithoutAnAddress()
    {
        GASender* sender = GASender::instance();
        sender->setCollectUrl(QUrl());
        sender->sendPage("main");
        sender->sendEvent("a", "b", "c", "1");
        sender->onTimer();
        QCOMPARE(sender->pendingCount(), 0);
        QTest::qWait(500);
        QCOMPARE(sink_->connections(), 0);
        QCOMPARE(sink_->requests().size(), 0);
    }
};

int runGASenderTests(int argc, char** argv)
{
    TestGASender test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_gasender.moc"
