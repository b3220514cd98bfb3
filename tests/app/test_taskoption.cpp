#include <QtTest>

#include "core/passwordencoder.h"
#include "ostrel/AuthTokenValue.h"
#include "suites.h"
#include "task/option.h"
#include "tasktestutil.h"

class TestTaskOption : public QObject
{
    Q_OBJECT

private slots:
    void optionReadsTheSettingsAtEachCall()
    {
        TaskSandbox sandbox;
        GlobalConfig* config = GlobalConfig::instance();
        Option option;

        struct Setting {
            bool overwrite;
            bool preserve;
            bool proxy;
            QString profile;
            QString recvPath;
        };
        const QList<Setting> settings = {
            {false, true, false, "Desk", sandbox.box().home()},
            {true, false, true, QString::fromUtf8("Bür\xc3\xb6 \xe6\xa1\x8c"), sandbox.box().root()},
        };
        for (const Setting& s : settings) {
            config->setAPIUrl("http://127.0.0.1:1/api/v1/" + s.profile);
            config->setPushUrl("http://127.0.0.1:1/push/v1/" + s.profile);
            config->setOverWriteFlag(s.overwrite);
            config->setPreserveFileTimeFlag(s.preserve);
            config->setUseIEProxy(s.proxy);
            config->setProxyUserName(s.profile + "-user");
            config->setProxyPassword(s.profile + "-pw");
            config->setProfile(s.profile);
            config->setRecvPath(s.recvPath);

            QCOMPARE(QString::fromStdString(option.getApiServer()), "http://127.0.0.1:1/api/v1/" + s.profile);
            QCOMPARE(QString::fromStdString(option.getPushServer()), "http://127.0.0.1:1/push/v1/" + s.profile);
            QCOMPARE(option.isUsingProxyServer(), s.proxy);
            QCOMPARE(QString::fromStdString(option.getProxyUserId()), s.profile + "-user");
            QCOMPARE(QString::fromStdString(option.getProxyPassword()), s.profile + "-pw");
            QCOMPARE(option.getProfileName(), s.profile.toStdWString());
            QCOMPARE(option.isRenameOfDuplicated(), !s.overwrite);
            QCOMPARE(option.isPreserveOriginalTimeStamp(), s.preserve);
            QCOMPARE(option.getDownloadPath(), s.recvPath.toStdWString());
        }
        QVERIFY(option.getPushId().empty());
        QVERIFY(option.getRegion().empty());
        QVERIFY(option.isUsingParallelTransfer());
        QVERIFY(option.isWatchReceivedFile());
        QVERIFY(option.isResumeOfIncompleted());
        QCOMPARE(option.getSaveToServerTimeout(), 0);
        QCOMPARE(option.getKeyType(), 0);

        // The engine's preferences live as "raw_" keys in the file.
        option.savePrefValue("last_region", "eu-west");
        QCOMPARE(option.loadPrefValue("last_region"), std::string("eu-west"));
        QVERIFY(option.loadPrefValue("never_saved").empty());
        sandbox.restartConfig();
        QCOMPARE(sandbox.stored("raw_last_region").toString(), QString("eu-west"));
        QCOMPARE(option.loadPrefValue("last_region"), std::string("eu-west"));
    }

    void optionServesEveryEngineInterface()
    {
        TaskSandbox sandbox;
        GlobalConfig::instance()->setPushUrl("http://127.0.0.1:2/push/v1/");
        Option option;
        Ostrel::BaseTask::Option* base = &option;
        QVERIFY(dynamic_cast<Ostrel::AuthBaseTask::Option*>(base));
        auto* push = dynamic_cast<Ostrel::PushListenerTask::Option*>(base);
        QVERIFY(push);
        QCOMPARE(push->getPushServer(), std::string("http://127.0.0.1:2/push/v1/"));
    }

    void freshInstallationHasNoDeviceCredentials()
    {
        TaskSandbox sandbox;
        Ostrel::AuthTokenValue* token = AuthToken::instance()->getToken();
        QVERIFY(token->deviceId.empty());
        QVERIFY(token->devicePassword.empty());
        QVERIFY(token->userId.empty());
        QVERIFY(token->authToken.empty());
        QCOMPARE(AuthToken::instance()->getToken(), token);
    }

    void deviceCredentialsPersistThroughTheSettingsFile()
    {
        TaskSandbox sandbox;
        const QString password = QString::fromUtf8("p\xc3\xa4ss:w0rd");
        AuthToken::instance()->setDeviceID("dev-0042");
        AuthToken::instance()->setDevicePassword(password);
        AuthToken::cleanUp();
        sandbox.restartConfig();

        QCOMPARE(sandbox.stored("DEVID").toString(), QString("dev-0042"));
        const QString stored = sandbox.stored("DEVPASSWORD").toString();
        QVERIFY(!stored.isEmpty());
        QVERIFY(stored != password);
        QCOMPARE(PasswordEncoder::instance()->decode(stored), password);

        Ostrel::AuthTokenValue* token = AuthToken::instance()->getToken();
        QCOMPARE(token->deviceId, std::string("dev-0042"));
        QCOMPARE(QString::fromStdString(token->devicePassword), password);
        QVERIFY(token->userId.empty());
        QVERIFY(token->authToken.empty());
    }
};

int runTaskOptionTests(int argc, char** argv)
{
    TestTaskOption test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_taskoption.moc"
