#include <QLocalSocket>
#include <QProcess>
#include <QSettings>
#include <QtTest>

#include "sandbox.h"
#include "suites.h"

namespace
{

const char* const kBanner = "------------V 3.6.19.1------------";

// The real program as a child process in a sandbox, with its standard output collected.
class AppProcess
{
public:
    AppProcess(const Sandbox& box, const QStringList& args)
    {
        process_.setProcessEnvironment(box.environment());
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(TROVANTI_APP_BIN, args);
    }
    ~AppProcess()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }

    QProcess& process() { return process_; }

    QString output()
    {
        out_ += process_.readAllStandardOutput();
        return QString::fromUtf8(out_);
    }
    int count(const QString& text) { return output().count(text); }
    bool waitFor(const QString& text, int times = 1, int timeoutMs = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (count(text) < times) {
            if (clock.elapsed() > timeoutMs || process_.state() == QProcess::NotRunning)
                return count(text) >= times;
            process_.waitForReadyRead(100);
        }
        return true;
    }
    // Exit status of a process expected to end by itself; -1000 when it did not.
    int finish(int timeoutMs = 15000)
    {
        if (!process_.waitForFinished(timeoutMs))
            return -1000;
        output();
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1001;
    }

private:
    QProcess process_;
    QByteArray out_;
};

// Writes raw bytes to one of the running instance's sockets, as a foreign client would.
void sendRaw(const Sandbox& box, const QString& name, const QByteArray& data)
{
    QLocalSocket socket;
    socket.connectToServer(box.runtimeDir() + "/" + name, QIODevice::WriteOnly);
    QVERIFY(socket.waitForConnected(3000));
    if (!data.isEmpty()) {
        socket.write(data);
        QVERIFY(socket.waitForBytesWritten(3000));
    }
    socket.disconnectFromServer();
}

QByteArray utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// A second start in the same sandbox; returns its exit status.
int secondStart(const Sandbox& box, const QStringList& args)
{
    AppProcess second(box, args);
    return second.finish();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT
private slots:
    void secondStartForwardsShowAndFiles()
    {
        Sandbox box;
        AppProcess first(box, {"--console"});
        QVERIFY2(first.waitFor(kBanner), qPrintable(first.output()));

        QCOMPARE(secondStart(box, {}), 255);
        QVERIFY(first.waitFor("LocalIPCServer: show request", 1));
        QVERIFY(first.waitFor("MainWidget: window shown", 1));

        QCOMPARE(secondStart(box, {"--tray"}), 255);
        QVERIFY(first.waitFor("LocalIPCServer: show request", 2));

        const QString files = QString::fromUtf8(" /tmp/a b.txt | /tmp/ü.png ");
        QCOMPARE(secondStart(box, {"--device", "dev-7", "--files", files}), 255);
        QVERIFY(first.waitFor("LocalIPCServer: show request", 3));
        QVERIFY2(first.waitFor("Send request for device \"dev-7\": " + files + "\n"), qPrintable(first.output()));
        QCOMPARE(first.count("Send request for device"), 1);
        QVERIFY(first.process().state() == QProcess::Running);

        // A signal ends the instance through the normal shutdown.
        first.process().terminate();
        QCOMPARE(first.finish(), 0);
        QCOMPARE(QSettings(box.settingsFile(), QSettings::IniFormat).value("RUNCOUNT").toInt(), 1);
    }

    void schtasksLeavesTheRunningInstanceAlone()
    {
        Sandbox box;
        AppProcess first(box, {"--console"});
        QVERIFY(first.waitFor(kBanner));
        QCOMPARE(secondStart(box, {"--schtasks"}), 255);
        // A show request from here marks the point by which anything the second start sent
        // would have been handled.
        sendRaw(box, "trovantishowOn", QByteArray(1, '\x01'));
        QVERIFY(first.waitFor("LocalIPCServer: show request"));
        QTest::qWait(200);
        QCOMPARE(first.count("LocalIPCServer: show request"), 1);
    }

    void otherShapesOnlyAskToShow_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("four arguments") << QStringList{"--device", "d", "--files"};
        QTest::newRow("six arguments") << QStringList{"--device", "d", "--files", "/a", "/b"};
        QTest::newRow("swapped") << QStringList{"--files", "/a", "--device", "d"};
        QTest::newRow("unknown") << QStringList{"--verbose"};
    }

    void otherShapesOnlyAskToShow()
    {
        QFETCH(QStringList, args);
        Sandbox box;
        AppProcess first(box, {"--console"});
        QVERIFY(first.waitFor(kBanner));
        QCOMPARE(secondStart(box, args), 255);
        QVERIFY(first.waitFor("LocalIPCServer: show request"));
        sendRaw(box, "trovantifile", utf16("marker>>/end"));
        QVERIFY(first.waitFor("Send request for device \"marker\""));
        QCOMPARE(first.count("Send request for device"), 1);
    }

    void malformedMessagesAreIgnored()
    {
        Sandbox box;
        AppProcess first(box, {"--console"});
        QVERIFY(first.waitFor(kBanner));
        sendRaw(box, "trovantishowOn", QByteArray());
        sendRaw(box, "trovantishowOn", QByteArray("\x02\x01", 2));
        sendRaw(box, "trovantishowOn", QByteArray("\x00", 1));
        sendRaw(box, "trovantifile", utf16("dev>>/a>>/b"));
        sendRaw(box, "trovantifile", utf16("no separator at all"));
        sendRaw(box, "trovantifile", QByteArray());
        // Then well-formed ones, which must still work and arrive after the rest.
        sendRaw(box, "trovantifile", utf16("ok>>/good"));
        QVERIFY(first.waitFor("Send request for device \"ok\": /good"));
        sendRaw(box, "trovantishowOn", QByteArray("\x01\x02", 2));
        QVERIFY(first.waitFor("LocalIPCServer: show request"));
        QTest::qWait(200);
        QCOMPARE(first.count("LocalIPCServer: show request"), 1);
        QCOMPARE(first.count("Send request for device"), 1);
        QCOMPARE(first.count("malformed file request ignored"), 2);
        QVERIFY(first.process().state() == QProcess::Running);
    }

    void longFileListArrivesWhole()
    {
        Sandbox box;
        AppProcess first(box, {"--console"});
        QVERIFY(first.waitFor(kBanner));
        QStringList paths;
        for (int i = 0; i < 2500; ++i)
            paths << QString("/home/user/pictures/holiday/img_%1.jpg").arg(i, 5, 10, QChar('0'));
        const QString list =
            paths.join(" | "); // 110000 characters, 220000 bytes on the socket (one argument may not exceed 128 KiB)
        QCOMPARE(secondStart(box, {"--device", "*", "--files", list}), 255);
        QVERIFY(first.waitFor("Send request for device \"*\": " + list + "\n"));
    }

    void scheduledStartRunsOnlyTheFirstTime()
    {
        Sandbox box;
        writeFile(box.settingsFile(), "[General]\nFILELOG=true\n");
        const QString log = box.dataDir() + "/log/snd_0.log";
        {
            AppProcess first(box, {"--schtasks"});
            QTRY_VERIFY_WITH_TIMEOUT(readFile(log).contains("MainWidget: window shown"), 10000);
            QVERIFY(readFile(log).contains(kBanner));
            QVERIFY(first.process().state() == QProcess::Running);
            first.process().terminate();
            QCOMPARE(first.finish(), 0);
        }
        // Later scheduled starts end at once, after the full shutdown.
        QCOMPARE(secondStart(box, {"--schtasks"}), 255);
        QCOMPARE(QSettings(box.settingsFile(), QSettings::IniFormat).value("RUNCOUNT").toInt(), 2);
        QCOMPARE(readFile(log).count("MainWidget: window shown"), 1);
        QCOMPARE(readFile(log).count(kBanner), 2);
        // And nothing was left listening.
        QVERIFY(!QFile::exists(box.runtimeDir() + "/trovantishowOn"));
    }

    void crashedInstanceDoesNotBlockTheNextStart()
    {
        Sandbox box;
        {
            AppProcess crashed(box, {"--console"});
            QVERIFY(crashed.waitFor(kBanner));
            crashed.process().kill();
            QVERIFY(crashed.process().waitForFinished(5000));
        }
        QVERIFY(QFile::exists(box.runtimeDir() + "/trovantishowOn")); // left behind
        AppProcess next(box, {"--console"});
        QVERIFY2(next.waitFor(kBanner), qPrintable(next.output()));
        QCOMPARE(secondStart(box, {}), 255);
        QVERIFY(next.waitFor("LocalIPCServer: show request"));
    }

    void differentUsersDoNotShareTheLock()
    {
        Sandbox one;
        AppProcess first(one, {"--console"});
        QVERIFY(first.waitFor(kBanner));
        Sandbox two; // another runtime directory, as for another user
        AppProcess other(two, {"--console"});
        QVERIFY2(other.waitFor(kBanner), qPrintable(other.output()));
        QVERIFY(first.process().state() == QProcess::Running);
    }
};

int runSingleInstanceTests(int argc, char** argv)
{
    TestSingleInstance test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_singleinstance.moc"
