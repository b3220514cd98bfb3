#include <QtTest>

#include "core/lunchonboot.h"
#include "sandbox.h"
#include "suites.h"

class TestLunchOnBoot : public QObject
{
    Q_OBJECT
private slots:
    void onlyGnomeAndUnityGetAnEntry_data()
    {
        QTest::addColumn<QByteArray>("desktop");
        QTest::addColumn<bool>("written");
        QTest::newRow("GNOME") << QByteArray("GNOME") << true;
        QTest::newRow("gnome") << QByteArray("gnome") << true;
        QTest::newRow("Unity") << QByteArray("Unity") << true;
        QTest::newRow("KDE") << QByteArray("KDE") << false;
        QTest::newRow("combined list") << QByteArray("ubuntu:GNOME") << false;
        QTest::newRow("unset") << QByteArray() << false;
    }

    void onlyGnomeAndUnityGetAnEntry()
    {
        QFETCH(QByteArray, desktop);
        QFETCH(bool, written);
        Sandbox box;
        if (desktop.isNull())
            box.unsetEnv("XDG_CURRENT_DESKTOP");
        else
            box.setEnv("XDG_CURRENT_DESKTOP", desktop);
        const QString path = box.configHome() + "/autostart/trovanti.desktop";
        QCOMPARE(LunchOnBoot::desktopFilePath(), path);

        LunchOnBoot::instance()->set(true);
        QCOMPARE(QFile::exists(path), written);
        QCOMPARE(LunchOnBoot::instance()->isSet(), written);
        if (!written)
            return;
        QCOMPARE(readFile(path), QByteArray("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=Trovanti\n"
                                            "Exec=/usr/bin/trovanti --tray\n"
                                            "X-GNOME-Autostart-Delay=5\n"
                                            "X-GNOME-Autostart-enabled=true\n"));
    }

    void switchingOffKeepsTheFile()
    {
        Sandbox box;
        box.setEnv("XDG_CURRENT_DESKTOP", "GNOME");
        const QString path = LunchOnBoot::desktopFilePath();
        LunchOnBoot::instance()->set(true);
        LunchOnBoot::instance()->set(false);
        QVERIFY(QFile::exists(path));
        QVERIFY(readFile(path).endsWith("X-GNOME-Autostart-enabled=false\n"));
        QCOMPARE(readFile(path).count('\n'), 6); // truncated, not appended
        QVERIFY(!LunchOnBoot::instance()->isSet());
        LunchOnBoot::instance()->set(true);
        QVERIFY(LunchOnBoot::instance()->isSet());
        // The entry of another desktop session does not count.
        qputenv("XDG_CURRENT_DESKTOP", "KDE");
        QVERIFY(!LunchOnBoot::instance()->isSet());
    }

    void entryWithoutTheKeyIsOff()
    {
        Sandbox box;
        box.setEnv("XDG_CURRENT_DESKTOP", "unity");
        writeFile(LunchOnBoot::desktopFilePath(), "[Desktop Entry]\nType=Application\n");
        QVERIFY(!LunchOnBoot::instance()->isSet());
    }
};

int runLunchOnBootTests(int argc, char** argv)
{
    TestLunchOnBoot test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_lunchonboot.moc"
