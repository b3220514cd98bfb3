#include <pwd.h>

#include <functional>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

#include "core/globalconfig.h"
#include "core/lunchonboot.h"
#include "ostrel/Defaults.h"
#include "sandbox.h"
#include "suites.h"

namespace
{

// One start of the program as far as the settings are concerned.
GlobalConfig* start()
{
    GlobalConfig::cleanUp();
    GlobalConfig::instance()->init();
    return GlobalConfig::instance();
}

// What the file says, read independently of GlobalConfig.
QVariant stored(const Sandbox& box, const QString& key)
{
    QSettings file(box.settingsFile(), QSettings::IniFormat);
    return file.value(key);
}

struct Flag {
    const char* key;
    bool fallback;
    std::function<bool(GlobalConfig*)> get;
    std::function<void(GlobalConfig*, bool)> set;
};

QList<Flag> flags()
{
    return {
        {"OVERWRITEFLAG", false, &GlobalConfig::getOverWriteFlag, &GlobalConfig::setOverWriteFlag},
        {"PRESERVEFILETIMEFLAG", true, &GlobalConfig::getPreserveFileTimeFlag, &GlobalConfig::setPreserveFileTimeFlag},
        {"DESKDISCOVERFLAG", true, &GlobalConfig::getDeskDiscoverableFlag, &GlobalConfig::setDeskDiscoverableFlag},
        {"NOTIPOPUP", true, &GlobalConfig::getNotiPopupFlag, &GlobalConfig::setNotiPopupFlag},
        {"FILELOG", false, &GlobalConfig::getEnableFileLogFlag, &GlobalConfig::setEnableFileLogFlag},
        {"ENABLETRAY", true, &GlobalConfig::getEnableTrayFlag, &GlobalConfig::setEnableTrayFlag},
        {"ENABLECONTEXT", true, &GlobalConfig::getEnableContextFlag, &GlobalConfig::setEnableContextFlag},
        {"USE_IE_PROXY", false, &GlobalConfig::getUseIEProxy, &GlobalConfig::setUseIEProxy},
        {"SHARELINK_TERMS_ACCEPTED", false, &GlobalConfig::getShareLinkTermsAccepted,
         &GlobalConfig::setShareLinkTermsAccepted},
        {"DONTSHOWFIREWALLASK", false, &GlobalConfig::getDontShowFirewallAsk, &GlobalConfig::setDontShowFirewallAsk},
        {"FIRSTINITPEERDEVTABLE", false, &GlobalConfig::getFirstInitPeerDevTable,
         &GlobalConfig::setFirstInitPeerDevTable},
    };
}

} // namespace

class TestGlobalConfig : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { GlobalConfig::cleanUp(); }

    void freshUserGetsDefaults()
    {
        Sandbox box;
        box.unsetEnv("TROVANTI_API_URL");
        box.unsetEnv("TROVANTI_PUSH_URL");
        box.setEnv("XDG_CURRENT_DESKTOP", "KDE");
        GlobalConfig* config = start();

        QCOMPARE(config->filePath(), box.settingsFile());
        QVERIFY(QFile::exists(box.settingsFile()));
        QCOMPARE(config->getDeviceID(), QString());
        QCOMPARE(config->getDevicePassword(), QString());
        QCOMPARE(config->getUserID(), QString());
        QCOMPARE(config->getUserPassword(), QString());
        QCOMPARE(config->getLastPutUserName(), QString());
        QCOMPARE(config->getProxyUserName(), QString());
        QCOMPARE(config->getProxyPassword(), QString());
        QCOMPARE(config->readRawValue("anything"), QString());
        QCOMPARE(config->getRecvPath(), box.home() + "/Downloads");
        QVERIFY(QDir(box.home() + "/Downloads").exists());
        QCOMPARE(config->getSelectFilePath(), box.home());
        QCOMPARE(config->getAPIUrl(), QString(Ostrel::Defaults::kApiUrl));
        QCOMPARE(config->getPushUrl(), QString(Ostrel::Defaults::kPushUrl));
        QVERIFY(config->getUpdateURL().startsWith("http://"));
        QVERIFY(config->getUpdateURL().endsWith("/desktop/osx/version.php"));
        QVERIFY(!config->containUserInfo());
        QCOMPARE(config->getAddDeviceShareLinkFlag(), false); // reset by the start
        for (const Flag& flag : flags())
            QVERIFY2(flag.get(config) == flag.fallback, flag.key);
    }

    void flagsRoundTripThroughTheFile()
    {
        Sandbox box;
        GlobalConfig* config = start();
        for (const Flag& flag : flags())
            flag.set(config, !flag.fallback);
        // A later start reads what the earlier one wrote.
        config = start();
        for (const Flag& flag : flags()) {
            QVERIFY2(flag.get(config) == !flag.fallback, flag.key);
            QVERIFY2(stored(box, flag.key).toString() == (flag.fallback ? "false" : "true"), flag.key);
        }
    }

    void textsRoundTripThroughTheFile()
    {
        Sandbox box;
        GlobalConfig* config = start();
        config->setProfile("Desk A");
        config->setDeviceID("dev-42");
        config->setUserID("user@example.org");
        config->setRecvPath(box.root());
        config->setSelectFilePath("/tmp/pick");
        config->setLastPutUserName("last@example.org");
        config->setProxyUserName("proxyuser");
        config->setProxyPassword("proxy secret");
        config->saveRawValue("prefName", "prefValue");
        config->setAPIUrl("http://127.0.0.1:1234/api/v1/");
        config->setPushUrl("http://127.0.0.1:1234/push/v1/");

        config = start();
        QCOMPARE(config->getProfile(), QString("Desk A"));
        QCOMPARE(config->getDeviceID(), QString("dev-42"));
        QCOMPARE(config->getUserID(), QString("user@example.org"));
        QCOMPARE(config->getRecvPath(), box.root());
        QCOMPARE(config->getSelectFilePath(), QString("/tmp/pick"));
        QCOMPARE(config->getLastPutUserName(), QString("last@example.org"));
        QCOMPARE(config->getProxyUserName(), QString("proxyuser"));
        QCOMPARE(config->getProxyPassword(), QString("proxy secret"));
        QCOMPARE(config->readRawValue("prefName"), QString("prefValue"));
        QCOMPARE(config->getAPIUrl(), QString("http://127.0.0.1:1234/api/v1/"));
        QCOMPARE(config->getPushUrl(), QString("http://127.0.0.1:1234/push/v1/"));
        // The proxy password stands in the file as typed; the raw value under its prefix.
        QCOMPARE(stored(box, "PROXY_PASSWORD").toString(), QString("proxy secret"));
        QCOMPARE(stored(box, "raw_prefName").toString(), QString("prefValue"));
        QCOMPARE(stored(box, "DEVID").toString(), QString("dev-42"));

        config->removeUserID();
        QCOMPARE(config->getUserID(), QString());
        QVERIFY(!stored(box, "USERID").isValid());
    }

    void passwordsAreStoredEncoded()
    {
        Sandbox box;
        GlobalConfig* config = start();
        config->setDevicePassowrd("device-pw-1");
        config->setUserPassword("Secr3t!");
        config->setUserID("u1");
        config = start();
        QCOMPARE(config->getDevicePassword(), QString("device-pw-1"));
        QCOMPARE(config->getUserPassword(), QString("Secr3t!"));
        const QString raw = stored(box, "USERPASSWORD").toString();
        QVERIFY(!raw.isEmpty());
        QVERIFY(!raw.contains("Secr3t"));
        QVERIFY(!readFile(box.settingsFile()).contains("device-pw-1"));
        QVERIFY(config->containUserInfo());
        config->removeUserPassword();
        QCOMPARE(config->getUserPassword(), QString());
        QVERIFY(!config->containUserInfo());
    }

    void containUserInfo_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("expected");
        QTest::newRow("both") << "u"
                              << "p" << true;
        QTest::newRow("no id") << ""
                               << "p" << false;
        QTest::newRow("no password") << "u"
                                     << "" << false;
        QTest::newRow("neither") << ""
                                 << "" << false;
    }

    void containUserInfo()
    {
        QFETCH(QString, id);
        QFETCH(QString, password);
        QFETCH(bool, expected);
        Sandbox box;
        GlobalConfig* config = start();
        config->setUserID(id);
        config->setUserPassword(password);
        QCOMPARE(config->containUserInfo(), expected);
    }

    void firstStartAndRunCount()
    {
        Sandbox box;
        box.setEnv("XDG_CURRENT_DESKTOP", "GNOME");
        const QString autostart = box.configHome() + "/autostart/trovanti.desktop";

        GlobalConfig* config = start();
        QCOMPARE(config->getRunCount(), 1);
        QCOMPARE(config->getFirstStartedFlag(), true);
        QCOMPARE(stored(box, "RUNCOUNT").toString(), QString("1"));
        QCOMPARE(stored(box, "FIRSTSTARTEDFLAG").toString(), QString("true"));
        QVERIFY(QFile::exists(autostart));
        QVERIFY(readFile(autostart).contains("X-GNOME-Autostart-enabled=true\n"));
        QVERIFY(config->getLaunchOnBootFlag());

        // The second start leaves autostart alone (the user may have removed it) and counts on.
        QVERIFY(QFile::remove(autostart));
        config = start();
        QCOMPARE(config->getRunCount(), 2);
        QVERIFY(!QFile::exists(autostart));
        QVERIFY(!config->getLaunchOnBootFlag());
        config = start();
        QCOMPARE(stored(box, "RUNCOUNT").toInt(), 3);
    }

    void shareLinkFlagIsResetByEveryStart()
    {
        Sandbox box;
        GlobalConfig* config = start();
        config->setAddDeviceShareLinkFlag(true);
        QCOMPARE(config->getAddDeviceShareLinkFlag(), true);
        config = start();
        QCOMPARE(config->getAddDeviceShareLinkFlag(), false);
        QCOMPARE(stored(box, "ADDDEVICESHARELINKKEY").toString(), QString("false"));
    }

    void unwritableReceiveFolderFallsBackAtNextStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("kept");
        QTest::newRow("writable folder") << "dir" << true;
        QTest::newRow("missing folder") << "missing" << false;
        QTest::newRow("a file") << "file" << false;
        QTest::newRow("read-only folder") << "readonly" << false;
    }

    void unwritableReceiveFolderFallsBackAtNextStart()
    {
        QFETCH(QString, kind);
        QFETCH(bool, kept);
        Sandbox box;
        const QString path = box.root() + "/recv";
        if (kind == "dir" || kind == "readonly")
            QDir().mkpath(path);
        if (kind == "file")
            writeFile(path, "x");
        if (kind == "readonly") {
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            if (QFileInfo(path).isWritable())
                QSKIP("running with privileges that ignore folder permissions");
        }
        GlobalConfig* config = start();
        config->setRecvPath(path);
        config = start();
        QCOMPARE(config->getRecvPath(), kept ? path : box.home() + "/Downloads");
        QCOMPARE(stored(box, "RECVPATH").isValid(), kept);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void analyticsIdIsCreatedOnceAndKept()
    {
        Sandbox box;
        GlobalConfig* config = start();
        QVERIFY(!stored(box, "UUID").isValid());
        const QString id = config->getUUID();
        QVERIFY2(QRegularExpression("^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$")
                     .match(id)
                     .hasMatch(),
                 qPrintable(id));
        QCOMPARE(config->getUUID(), id);
        config = start();
        QCOMPARE(config->getUUID(), id);
        QCOMPARE(stored(box, "UUID").toString(), id);
    }

    void environmentOverridesAddressesWithoutStoringThem()
    {
        Sandbox box;
        box.setEnv("TROVANTI_API_URL", "http://127.0.0.1:9001/api/v1/");
        box.setEnv("TROVANTI_PUSH_URL", "http://127.0.0.1:9001/push/v1/");
        GlobalConfig* config = start();
        QCOMPARE(config->getAPIUrl(), QString("http://127.0.0.1:9001/api/v1/"));
        QCOMPARE(config->getPushUrl(), QString("http://127.0.0.1:9001/push/v1/"));
        QVERIFY(!stored(box, "APIURL").isValid());
        QVERIFY(!stored(box, "PUSHURL").isValid());

        qunsetenv("TROVANTI_API_URL");
        qunsetenv("TROVANTI_PUSH_URL");
        config = start();
        QCOMPARE(config->getAPIUrl(), QString(Ostrel::Defaults::kApiUrl));
        QCOMPARE(config->getPushUrl(), QString(Ostrel::Defaults::kPushUrl));
    }

    void profileComesFromTheAccount()
    {
        Sandbox box;
        const passwd* root = getpwnam("root");
        QVERIFY(root);
        const QString rootGecos = QString::fromLocal8Bit(root->pw_gecos ? root->pw_gecos : "");
        box.setEnv("USER", "root");
        QCOMPARE(GlobalConfig::defaultProfile(), rootGecos.section(',', 0, 0));
        box.setEnv("USER", "no-such-user-trovanti");
        QCOMPARE(GlobalConfig::defaultProfile(), QString("no-such-user-trovanti"));
        qunsetenv("USER");
        QCOMPARE(GlobalConfig::defaultProfile(), QString());
        GlobalConfig* config = start();
        QCOMPARE(config->getProfile(), QString());
        config->setProfile("Chosen");
        QCOMPARE(config->getProfile(), QString("Chosen"));
    }

    void profileFromGecos_data()
    {
        QTest::addColumn<QString>("gecos");
        QTest::addColumn<QString>("profile");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("full name") << "Jane Doe"
                                   << "Jane Doe";
        QTest::newRow("with details") << "Jane Doe,Room 4,555-1234,"
                                      << "Jane Doe";
        QTest::newRow("leading comma") << ",Room 4"
                                       << "";
    }

    void profileFromGecos()
    {
        QFETCH(QString, gecos);
        QFETCH(QString, profile);
        QCOMPARE(GlobalConfig::profileFromGecos(gecos), profile);
    }
};

int runGlobalConfigTests(int argc, char** argv)
{
    TestGlobalConfig test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_globalconfig.moc"
