#include <QFontDatabase>
#include <QLabel>
#include <QtTest>

#include "core/commandline.h"
#include "core/localipcclient.h"
#include "core/localipcserver.h"
#include "core/singleappinstance.h"
#include "suites.h"
#include "ui/mainwidget.h"

namespace
{
const char* const kWelcome = "<font>Welcome To Trovanti!<br>Now You Can Send Files Across Any Platform.</font>";
}

class TestSingleApp : public QObject
{
    Q_OBJECT
private slots:
    void identity()
    {
        QCOMPARE(QCoreApplication::organizationName(), QString("Kalvex"));
        QCOMPARE(QCoreApplication::applicationName(), QString("Trovanti"));
        QCOMPARE(QCoreApplication::applicationVersion(), QString("3.6.19.1"));
        QVERIFY(!QCoreApplication::organizationDomain().isEmpty());
        QVERIFY(!QApplication::windowIcon().isNull());
        QVERIFY(QFile::exists(":/resource/common/application.ico"));
    }

    void robotoIsLoaded()
    {
        bool present = false;
        for (const QString& dir : SingleAppInstance::fontDirectories())
            present = present || QFile::exists(dir + "Roboto-Regular.ttf");
        if (!present)
            QSKIP("fonts-roboto is not installed");
        const QFont font = SingleAppInstance::getRobotoFont();
        QCOMPARE(font.family(), QString("Roboto"));
        QVERIFY(!font.italic());
        QCOMPARE(font.weight(), static_cast<int>(QFont::Normal));
        QVERIFY(QFontDatabase().families().contains("Roboto"));
    }

    void translations_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("korean") << QLocale(QLocale::Korean, QLocale::SouthKorea) << "lang_ko.qm"
                                << QString::fromUtf8("Trovanti에 오신 것을 환영합니다!");
        QTest::newRow("japanese") << QLocale(QLocale::Japanese, QLocale::Japan) << "lang_ja.qm"
                                  << QString::fromUtf8("Trovantiへようこそ！");
        QTest::newRow("english") << QLocale(QLocale::English, QLocale::UnitedStates) << ""
                                 << "Welcome To Trovanti!";
        QTest::newRow("german") << QLocale(QLocale::German, QLocale::Germany) << ""
                                << "Welcome To Trovanti!";
    }

    void translations()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, file);
        QFETCH(QString, expected);
        auto* app = static_cast<SingleAppInstance*>(QCoreApplication::instance());
        QCOMPARE(SingleAppInstance::translationFileName(locale), file);
        QCOMPARE(app->loadTranslation(locale), !file.isEmpty());
        if (!file.isEmpty())
            QVERIFY(QFile::exists(":/resource/lang/" + file));
        QVERIFY2(QCoreApplication::translate("MainWidget", kWelcome).contains(expected),
                 qPrintable(QCoreApplication::translate("MainWidget", kWelcome)));
        // The window follows a change of language.
        MainWidget* window = MainWidget::instance();
        const QLabel* label = window->findChild<QLabel*>();
        QVERIFY(label);
        QVERIFY(label->text().contains(expected));
        MainWidget::cleanUp();
        app->loadTranslation(QLocale(QLocale::English));
    }

    void mainWindowGeometry()
    {
        MainWidget* window = MainWidget::instance();
        QCOMPARE(window->size(), QSize(840, 600));
        QCOMPARE(window->minimumSize(), QSize(840, 600));
        QVERIFY(!window->isVisible());
        window->showWindows();
        QVERIFY(window->isVisible());
        window->showMinimized();
        window->showWindows();
        QVERIFY(!window->isMinimized());
        MainWidget::cleanUp();
        MainWidget::cleanUp(); // safe twice
    }

    void commandLineShapes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("files");
        const QString p = "/usr/bin/trovanti";
        QTest::newRow("none") << QStringList{p} << int(CommandLine::Default) << ""
                              << "";
        QTest::newRow("tray") << QStringList{p, "--tray"} << int(CommandLine::Tray) << ""
                              << "";
        QTest::newRow("console") << QStringList{p, "--console"} << int(CommandLine::Console) << ""
                                 << "";
        QTest::newRow("schtasks") << QStringList{p, "--schtasks"} << int(CommandLine::Schtasks) << ""
                                  << "";
        QTest::newRow("case matters") << QStringList{p, "--Tray"} << int(CommandLine::Default) << ""
                                      << "";
        QTest::newRow("extra argument") << QStringList{p, "--tray", "x"} << int(CommandLine::Default) << ""
                                        << "";
        QTest::newRow("device files") << QStringList{p, "--device", "D1", "--files", "/a | /b"}
                                      << int(CommandLine::DeviceFiles) << "D1"
                                      << "/a | /b";
        QTest::newRow("any device") << QStringList{p, "--device", "*", "--files", "/a"} << int(CommandLine::DeviceFiles)
                                    << "*"
                                    << "/a";
        QTest::newRow("four arguments") << QStringList{p, "--device", "D1", "--files"} << int(CommandLine::Default)
                                        << ""
                                        << "";
        QTest::newRow("six arguments") << QStringList{p, "--device", "D1", "--files", "/a", "/b"}
                                       << int(CommandLine::Default) << ""
                                       << "";
        QTest::newRow("swapped") << QStringList{p, "--files", "/a", "--device", "D1"} << int(CommandLine::Default) << ""
                                 << "";
    }

    void commandLineShapes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, mode);
        QFETCH(QString, device);
        QFETCH(QString, files);
        const CommandLine commandLine(args);
        QCOMPARE(int(commandLine.mode()), mode);
        QCOMPARE(commandLine.deviceId(), device);
        QCOMPARE(commandLine.fileList(), files);
    }

    void fileMessages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("files");
        QTest::newRow("plain") << "D1>>/a|/b" << true << "D1"
                               << "/a|/b";
        QTest::newRow("empty parts") << ">>" << true << ""
                                     << "";
        QTest::newRow("unicode") << QString::fromUtf8("*>>/home/ü/文件.txt") << true << "*"
                                 << QString::fromUtf8("/home/ü/文件.txt");
        QTest::newRow("list with >>") << "D1>>/a>>b" << false << ""
                                      << "";
        QTest::newRow("no separator") << "D1 /a" << false << ""
                                      << "";
        QTest::newRow("empty") << "" << false << ""
                               << "";
    }

    void fileMessages()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, device);
        QFETCH(QString, files);
        const QStringList parts = text.split(">>");
        const QByteArray bytes = parts.size() == 2
                                     ? LocalIPCClient::fileMessage(parts[0], parts[1])
                                     : QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QCOMPARE(bytes.size(), text.size() * 2); // UTF-16, no byte-order mark, no terminator
        QString gotDevice;
        QString gotFiles;
        QCOMPARE(LocalIPCServer::parseFileMessage(bytes, &gotDevice, &gotFiles), valid);
        if (valid) {
            QCOMPARE(gotDevice, device);
            QCOMPARE(gotFiles, files);
        }
        // An odd trailing byte is not a code unit.
        if (valid)
            QVERIFY(LocalIPCServer::parseFileMessage(bytes + 'x', &gotDevice, &gotFiles));
    }
};

int runSingleAppTests(int argc, char** argv)
{
    TestSingleApp test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_singleapp.moc"
