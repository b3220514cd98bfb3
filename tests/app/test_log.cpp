#include <unistd.h>

#include <cstdio>
#include <thread>
#include <vector>

#include <QDir>
#include <QRegularExpression>
#include <QtTest>

#include "core/filelog.h"
#include "core/filelogwriter.h"
#include "core/globalconfig.h"
#include "core/log.h"
#include "sandbox.h"
#include "suites.h"

namespace
{

// Redirects this process's standard output into a file for its lifetime.
class StdoutCapture
{
public:
    explicit StdoutCapture(const QString& path) : path_(path)
    {
        fflush(stdout);
        saved_ = dup(STDOUT_FILENO);
        FILE* file = fopen(path.toLocal8Bit().constData(), "w");
        dup2(fileno(file), STDOUT_FILENO);
        fclose(file);
    }
    ~StdoutCapture() { restore(); }
    QByteArray take()
    {
        restore();
        return readFile(path_);
    }

private:
    void restore()
    {
        if (saved_ < 0)
            return;
        fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
        saved_ = -1;
    }
    QString path_;
    int saved_ = -1;
};

void startConfig(bool fileLog)
{
    GlobalConfig::cleanUp();
    GlobalConfig::instance()->init();
    GlobalConfig::instance()->setEnableFileLogFlag(fileLog);
}

QStringList logFiles(const QString& dir)
{
    return QDir(dir).entryList({"snd_*.log"}, QDir::Files, QDir::Name);
}

} // namespace

class TestLog : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        FileLogWriter::cleanUp();
        GlobalConfig::cleanUp();
        GlobalConfig::instance()->setConsole(false);
    }

    void lineFormat()
    {
        Sandbox box;
        FileLog log(box.root() + "/snd", 30, 1000);
        QVERIFY(log.open());
        log.write("hello wörld");
        log.close();
        const QByteArray content = readFile(box.root() + "/snd_0.log");
        QVERIFY2(QRegularExpression("^\\[\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\] hello wörld\r\n$")
                     .match(QString::fromUtf8(content))
                     .hasMatch(),
                 content.constData());
        // Reopening appends.
        QVERIFY(log.open());
        log.write("second");
        log.close();
        QCOMPARE(readFile(box.root() + "/snd_0.log").count("\r\n"), 2);
    }

    void lineThatCrossesTheLimitRotatesAtOnce()
    {
        Sandbox box;
        const QString base = box.root() + "/snd";
        FileLog log(base, 30, 100);
        QVERIFY(log.open());
        const QString first = QString("a").repeated(50);  // 22 + 50 + 2 = 74 bytes
        const QString second = QString("b").repeated(10); // 74 + 34 = 108 > 100
        log.write(first);
        QVERIFY(!QFile::exists(base + "_1.log"));
        log.write(second);
        const QByteArray rotated = readFile(base + "_1.log");
        QVERIFY(rotated.contains(first.toUtf8()));
        QVERIFY(rotated.contains(second.toUtf8())); // the crossing line stays with its file
        QVERIFY(QFile::exists(base + "_0.log"));
        QCOMPARE(QFileInfo(base + "_0.log").size(), 0);
        log.write("third");
        QVERIFY(readFile(base + "_0.log").contains("third"));
        QVERIFY(!readFile(base + "_1.log").contains("third"));
    }

    void neverMoreThanThirtyFiles()
    {
        Sandbox box;
        const QString base = box.root() + "/snd";
        FileLog log(base, 30, 40);
        QVERIFY(log.open());
        for (int i = 0; i < 100; ++i)
            log.write(QString("line %1 padding padding").arg(i, 3, 10, QChar('0'))); // each line rotates
        log.close();
        QStringList expected;
        for (int n = 0; n < 30; ++n)
            expected << QString("snd_%1.log").arg(n);
        QStringList found = logFiles(box.root());
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        QCOMPARE(found, expected);
        QVERIFY(readFile(base + "_1.log").contains("line 099"));
        QVERIFY(readFile(base + "_29.log").contains("line 071"));
        for (int n = 0; n < 30; ++n)
            QVERIFY(!readFile(QString("%1_%2.log").arg(base).arg(n)).contains("line 070"));
    }

    void writerRotatesAtTwoMillionBytes()
    {
        Sandbox box;
        startConfig(true);
        FileLogWriter::instance()->init();
        const QString dir = box.dataDir() + "/log";
        FileLogWriter::instance()->write(QString(1500000, 'x'));
        QCOMPARE(logFiles(dir), QStringList{"snd_0.log"});
        // Each line costs its text plus 23 bytes (time stamp, blank, CR LF): this one makes the
        // file exactly 2000000 bytes, which is still within the limit.
        FileLogWriter::instance()->write(QString(499954, 'y'));
        QCOMPARE(QFileInfo(dir + "/snd_0.log").size(), FileLogWriter::kMaxSize);
        QCOMPARE(logFiles(dir), QStringList{"snd_0.log"});
        FileLogWriter::instance()->write(QString(100, 'z'));
        QCOMPARE(logFiles(dir), (QStringList{"snd_0.log", "snd_1.log"}));
        QVERIFY(QFileInfo(dir + "/snd_1.log").size() > FileLogWriter::kMaxSize);
        QVERIFY(QFileInfo(dir + "/snd_1.log").size() < FileLogWriter::kMaxSize + 200);
        QCOMPARE(QFileInfo(dir + "/snd_0.log").size(), 0);
    }

    void noFilesWithoutTheSetting()
    {
        Sandbox box;
        startConfig(false);
        FileLogWriter::instance()->init();
        Log::getLog(Log::File) << "dropped\n";
        Log::getLog(Log::Both) << "dropped too\n";
        QVERIFY(!QDir(box.dataDir() + "/log").exists());
    }

    void unwritableLogDirectoryIsSilent()
    {
        Sandbox box;
        startConfig(true);
        writeFile(box.dataDir() + "/log", "a file where the folder should be");
        FileLogWriter::instance()->init();
        Log::getLog(Log::File) << "nowhere to go\n";
        QVERIFY(QFileInfo(box.dataDir() + "/log").isFile());
    }

    void kindsChooseTheSinks_data()
    {
        QTest::addColumn<bool>("console");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("onStdout");
        QTest::addColumn<bool>("inFile");
        QTest::newRow("file only") << true << 0 << false << true;
        QTest::newRow("console only") << true << 1 << true << false;
        QTest::newRow("both") << true << 2 << true << true;
        QTest::newRow("both, no console") << false << 2 << false << true;
        QTest::newRow("console kind, no console") << false << 1 << false << false;
    }

    void kindsChooseTheSinks()
    {
        QFETCH(bool, console);
        QFETCH(int, kind);
        QFETCH(bool, onStdout);
        QFETCH(bool, inFile);
        Sandbox box;
        startConfig(true);
        GlobalConfig::instance()->setConsole(console);
        FileLogWriter::instance()->init();
        const QByteArray marker = "marker-" + QByteArray::number(kind) + (console ? "-c" : "-n");
        StdoutCapture capture(box.root() + "/stdout.txt");
        Log::getLog(kind) << QString::fromLatin1(marker) << " "
                          << "end\n";
        const QByteArray out = capture.take();
        QCOMPARE(out.contains(marker + " end\n"), onStdout);
        QCOMPARE(readFile(box.dataDir() + "/log/snd_0.log").contains(marker + " end\n\r\n"), inFile);
    }

    void linesFromManyThreadsStayWhole()
    {
        Sandbox box;
        startConfig(true);
        FileLogWriter::instance()->init();
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 200; ++i)
                    Log::getLog(Log::File) << QString("thread %1 line %2 ").arg(t).arg(i) << QString(40, 'a' + t);
            });
        }
        for (auto& thread : threads)
            thread.join();
        const QList<QByteArray> lines = readFile(box.dataDir() + "/log/snd_0.log").split('\n');
        int count = 0;
        const QRegularExpression whole("^\\[[^\\]]+\\] thread (\\d) line \\d+ ([a-d])\\2{39}\r$");
        for (const QByteArray& line : lines) {
            if (line.isEmpty())
                continue;
            const auto match = whole.match(QString::fromUtf8(line));
            QVERIFY2(match.hasMatch(), line.constData());
            QCOMPARE(match.captured(2).at(0).unicode() - 'a', match.captured(1).toInt());
            ++count;
        }
        QCOMPARE(count, 800);
    }
};

int runLogTests(int argc, char** argv)
{
    TestLog test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_log.moc"
