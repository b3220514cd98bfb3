#include <QElapsedTimer>
#include <QtTest>

#include "core/passwordencoder.h"
#include "ostrel/AuthTokenValue.h"
#include "ostrel/GetDeviceListTask.h"
#include "ostrel/LoginUserTask.h"
#include "servicerunner.h"
#include "suites.h"
#include "task/paramlogin.h"
#include "task/paramlogout.h"
#include "task/parammydevlist.h"
#include "task/paramclosenearby.h"
#include "task/parampublishnearby.h"
#include "task/paramqueryfriend.h"
#include "task/paramreguser.h"
#include "task/repeaterbase.h"
#include "task/taskpublishnearby.h"
#include "taskreceiver.h"
#include "tasktestutil.h"

namespace
{

class ParamUnknown : public ParamBase
{
public:
    ParamBase* clone() const override { return new ParamUnknown(*this); }
};

// Runs one record through the manager and waits for the receiver's finish.
TaskBase* runAndWait(const ParamBase& param, TaskReceiver& receiver, int finishes = 1)
{
    TaskBase* task = TaskManager::instance()->runTask(param, &receiver);
    if (task)
        (void)QTest::qWaitFor([&] { return receiver.finishCount() >= finishes; }, 20000);
    return task;
}

} // namespace

class TestTaskManager : public QObject
{
    Q_OBJECT

private slots:
    void unknownRecordStartsNothing()
    {
        TaskSandbox sandbox;
        TaskReceiver receiver;
        QVERIFY(!TaskManager::instance()->createTask(ParamUnknown(), &receiver));
        QVERIFY(!TaskManager::instance()->runTask(ParamUnknown(), &receiver));
        QCOMPARE(TaskManager::instance()->taskCount(), 0);
    }

    void createTaskPicksWrapperAndKeepsACopy()
    {
        TaskSandbox sandbox;
        TaskReceiver receiver;
        std::unique_ptr<ParamLogIn> param(new ParamLogIn("bob", "pw"));
        std::unique_ptr<TaskBase> task(TaskManager::instance()->createTask(*param, &receiver));
        QVERIFY(task);
        QCOMPARE(TaskManager::instance()->taskCount(), 0);
        QVERIFY(!task->getOstrelTask());
        QVERIFY(!task->isRunning());
        param.reset();
        const auto* copy = dynamic_cast<const ParamLogIn*>(task->getParam());
        QVERIFY(copy);
        QCOMPARE(copy->getUserID(), QString("bob"));
        QCOMPARE(copy->getPassword(), QString("pw"));
    }

    // A fresh installation registers its device with the first task, signs a user up and in,
    // lists the user's devices and looks devices up, all against the real service.
    void accountFlowAgainstService()
    {
        TaskSandbox sandbox;
        ServiceRunner service;
        QVERIFY(service.start());
        GlobalConfig::instance()->setAPIUrl(service.apiUrl());
        GlobalConfig::instance()->setPushUrl(service.pushUrl());
        GlobalConfig::instance()->setProfile(QString::fromUtf8("Zoë's desk"));
        QVERIFY(AuthToken::instance()->getToken()->deviceId.empty());

        {
            TaskReceiver receiver;
            TaskBase* task = runAndWait(ParamRegUser("carol01", "secret1"), receiver);
            QVERIFY(task);
            QCOMPARE(receiver.events, QStringList({"finish 257"}));
            QCOMPARE(receiver.offGuiThread, 0);
            QVERIFY(dynamic_cast<Ostrel::AuthBaseTask*>(task->getOstrelTask()));
        }
        // The issued device id and password are in the settings file (the password encoded).
        const Ostrel::AuthTokenValue* token = AuthToken::instance()->getToken();
        QVERIFY(!token->deviceId.empty());
        QTRY_COMPARE(sandbox.stored("DEVID").toString(), QString::fromStdString(token->deviceId));
        const QString storedPassword = sandbox.stored("DEVPASSWORD").toString();
        QVERIFY(!storedPassword.isEmpty());
        QVERIFY(storedPassword != QString::fromStdString(token->devicePassword));
        QCOMPARE(PasswordEncoder::instance()->decode(storedPassword), QString::fromStdString(token->devicePassword));

        {
            TaskReceiver receiver;
            runAndWait(ParamLogIn("carol01", "wrong"), receiver);
            QCOMPARE(receiver.events, QStringList({"error 518", "finish 259"}));
            QCOMPARE(receiver.offGuiThread, 0);
        }
        {
            TaskReceiver receiver;
            TaskBase* task = runAndWait(ParamLogIn("carol01", "secret1"), receiver);
            QVERIFY(dynamic_cast<Ostrel::LoginUserTask*>(task->getOstrelTask()));
            QCOMPARE(receiver.events, QStringList({"finish 257"}));
            QCOMPARE(token->userId, std::string("carol01"));
        }
        {
            // The list goes out before the finish; the repeater's finish is connected by hand here,
            // as the device-list repeater relays the list alone.
            TaskReceiver receiver;
            TaskBase* task = TaskManager::instance()->createTask(ParamMyDevList(), &receiver);
            QVERIFY(task);
            QObject::connect(task->getRepeater(), SIGNAL(sendSigFinish(const int&)), &receiver,
                             SLOT(recvSigFinish(const int&)));
            task->start();
            TaskManager::instance()->addTask(task);
            QTRY_VERIFY_WITH_TIMEOUT(receiver.finished(), 20000);
            QCOMPARE(receiver.events, QStringList({"devlist 1", "finish 257"}));
            QCOMPARE(receiver.offGuiThread, 0);
            const DevInfoMy mine = receiver.myList.getAt(0);
            QCOMPARE(mine.getDeviceID(), QString::fromStdString(token->deviceId));
            QCOMPARE(mine.getProfileName(), QString::fromUtf8("Zoë's desk"));
            QCOMPARE(receiver.myList.getDevInfo(mine.getDeviceID()).getDeviceID(), mine.getDeviceID());
            const DevInfoMy none = receiver.myList.getDevInfo("no-such-device");
            QVERIFY(none.getDeviceID().isEmpty() && none.getDeviceName().isEmpty() &&
                    none.getProfileName().isEmpty() && none.getOSType().isEmpty());
        }

        const QString own = QString::fromStdString(token->deviceId);
        struct Case {
            QStringList ids;
            int found;
            QStringList removed;
        };
        const QList<Case> cases = {
            {{own, "gone-1", "gone-2"}, 1, {"gone-1", "gone-2"}},
            {{own}, 1, {}},
        };
        for (const Case& c : cases) {
            // The query-friend list follows the finish.
            TaskReceiver receiver;
            TaskBase* task = TaskManager::instance()->createTask(ParamQueryFriend(c.ids), &receiver);
            QObject::connect(task->getRepeater(), SIGNAL(sendSigFinish(const int&)), &receiver,
                             SLOT(recvSigFinish(const int&)));
            task->start();
            TaskManager::instance()->addTask(task);
            QTRY_VERIFY_WITH_TIMEOUT(receiver.events.size() >= 2, 20000);
            QCOMPARE(receiver.events, QStringList({"finish 257", QString("query %1").arg(c.found)}));
            QCOMPARE(receiver.queryList.getAt(0).getDeviceID(), own);
            QCOMPARE(receiver.queryList.getRemoveList(), c.removed);
        }

        {
            TaskReceiver receiver;
            runAndWait(ParamLogOut(), receiver);
            QCOMPARE(receiver.events, QStringList({"finish 257"}));
            QVERIFY(token->userId.empty());
        }
        {
            // Signed out, the device list is refused: error then failure, and no list.
            TaskReceiver receiver;
            TaskBase* task = TaskManager::instance()->createTask(ParamMyDevList(), &receiver);
            QObject::connect(task->getRepeater(), SIGNAL(sendSigFinish(const int&)), &receiver,
                             SLOT(recvSigFinish(const int&)));
            QObject::connect(task->getRepeater(), SIGNAL(sendSigError(const int&)), &receiver,
                             SLOT(recvSigError(const int&)));
            task->start();
            TaskManager::instance()->addTask(task);
            QTRY_VERIFY_WITH_TIMEOUT(receiver.finished(), 20000);
            QCOMPARE(receiver.events, QStringList({"error 517", "finish 259"}));
        }
    }

    // Finished wrappers stay listed until clean-up, which then does not block on them.
    void finishedTasksStayListedUntilCleanUp()
    {
        TaskSandbox sandbox;
        ServiceRunner service;
        QVERIFY(service.start());
        GlobalConfig::instance()->setAPIUrl(service.apiUrl());
        TaskReceiver receiver;
        const int kRounds = 3;
        QList<TaskPublishNearby*> publishers;
        for (int i = 0; i < kRounds; ++i) {
            auto* publisher = dynamic_cast<TaskPublishNearby*>(
                TaskManager::instance()->runTask(ParamPublishNearby(), &receiver));
            QVERIFY(publisher);
            publishers.append(publisher);
            QTRY_VERIFY_WITH_TIMEOUT(receiver.finishCount() == 2 * i + 1, 20000);
            QVERIFY(TaskManager::instance()->runTask(ParamCloseNearby(), &receiver));
            // The close wrapper relays nothing; wait for its engine task instead.
            QTRY_VERIFY_WITH_TIMEOUT(!TaskManager::instance()->tasks().last()->isRunning(), 20000);
            receiver.events.append("finish close");
        }
        QCOMPARE(receiver.events.filter("finish 257").size(), kRounds);
        QCOMPARE(TaskManager::instance()->taskCount(), 2 * kRounds);
        for (TaskPublishNearby* publisher : publishers)
            QCOMPARE(publisher->getTimeOut(), 600);
        QElapsedTimer clock;
        clock.start();
        TaskManager::cleanUp();
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(TaskManager::instance()->taskCount(), 0);
    }
};

int runTaskManagerTests(int argc, char** argv)
{
    TestTaskManager test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_taskmanager.moc"
