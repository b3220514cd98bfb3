#include <memory>
#include <vector>

#include <QSignalSpy>
#include <QtTest>

#include "ostrel/TransferTask.h"
#include "suites.h"
#include "task/paramdownload.h"
#include "task/paramlinksharingdownload.h"
#include "task/paramupload.h"
#include "task/repeaterdownload.h"
#include "task/repeatertransfer.h"
#include "task/repeaterupload.h"
#include "task/tasktransfer.h"
#include "task/transfilestatelist.h"
#include "task/transinfogroup.h"
#include "tasktestutil.h"
#include "transferlistener.h"

namespace
{

TransFileState entry(const QString& key, qint64 size = 10, qint64 moved = 0, int state = 0)
{
    return TransFileState(key, "/src/" + key, "name-" + key, size, moved, state);
}

TransFileStateList listOf(const QStringList& keys)
{
    TransFileStateList list;
    for (const QString& key : keys)
        list.add(entry(key));
    return list;
}

QStringList keysOf(const TransFileStateList& list)
{
    QStringList keys;
    for (int i = 0; i < list.count(); ++i)
        keys << list.getAt(i).getHashKey();
    return keys;
}

using FileState = Ostrel::TransferTask::FileState;

FileState record(const wchar_t* name, const wchar_t* path, uint64_t size, uint64_t moved)
{
    FileState r;
    r.name = name;
    r.path = path;
    r.size = size;
    r.transferred = moved;
    return r;
}

} // namespace

class TestTransFileState : public QObject
{
    Q_OBJECT

private slots:
    void addIndexesEveryEntry()
    {
        const TransFileStateList list = listOf({"a", "b", "c"});
        QCOMPARE(list.count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(list.getIndex(list.getAt(i)), i);
            QVERIFY(list.contain(list.getAt(i)));
        }
        QCOMPARE(list.getIndex(entry("zz")), -1);
        QVERIFY(!list.contain(entry("zz")));
        QCOMPARE(list.getAt(3), TransFileState());
        QCOMPARE(list.getAt(-1), TransFileState());
    }

    void repointedKeyBelongsToTheNewEntry()
    {
        TransFileStateList list = listOf({"a", "b"});
        list.add(entry("a", 99));
        QCOMPARE(list.count(), 3);
        QCOMPARE(list.getIndex(entry("a")), 2);
        list.update(entry("a", 99, 50, 3));
        QCOMPARE(list.getAt(0), entry("a"));
        QCOMPARE(list.getAt(2), entry("a", 99, 50, 3));
        // Removing the stale first entry leaves the key with the entry it points at.
        list.remove(0);
        QCOMPARE(list.getIndex(entry("a")), 1);
        QCOMPARE(list.getAt(1).getFileSize(), qint64(99));
        QCOMPARE(list.getIndex(entry("b")), 0);
    }

    void updateOfUnknownKeyChangesNothing()
    {
        TransFileStateList list = listOf({"a", "b"});
        list.update(entry("x", 1, 1, 5));
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.getAt(0), entry("a"));
        QCOMPARE(list.getAt(1), entry("b"));
        QCOMPARE(list.getIndex(entry("x")), -1);
        list.update(entry("b", 10, 7, 2));
        QCOMPARE(list.getAt(1), entry("b", 10, 7, 2));
        QCOMPARE(list.getAt(0), entry("a"));
    }

    void remove_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("first of three") << 0 << QStringList({"b", "c"});
        QTest::newRow("middle") << 1 << QStringList({"a", "c"});
        QTest::newRow("last") << 2 << QStringList({"a", "b"});
        QTest::newRow("negative") << -1 << QStringList({"a", "b", "c"});
        QTest::newRow("past the end") << 3 << QStringList({"a", "b", "c"});
    }
    void remove()
    {
        QFETCH(int, index);
        QFETCH(QStringList, left);
        TransFileStateList list = listOf({"a", "b", "c"});
        list.remove(index);
        QCOMPARE(keysOf(list), left);
        for (int i = 0; i < left.size(); ++i)
            QCOMPARE(list.getIndex(entry(left.at(i))), i);
        for (const QString& key : QStringList({"a", "b", "c"}))
            QCOMPARE(list.contain(entry(key)), left.contains(key));
    }

    void sumsAndTransCount()
    {
        TransFileStateList list;
        for (int state = 0; state <= 5; ++state)
            list.add(entry(QString::number(state), 100 + state, 10 * state, state));
        QCOMPARE(list.getFileSize(), qint64(100 * 6 + 15));
        QCOMPARE(list.getTransSize(), qint64(10 * 15));
        QCOMPARE(list.getTransCount(), 4);
        list.add(entry("cancelled", 5, 5, 7));
        QCOMPARE(list.getTransCount(), 4);
        QCOMPARE(TransFileStateList().getFileSize(), qint64(0));
        QCOMPARE(TransFileStateList().getTransCount(), 0);
    }

    void detailMapsToState_data()
    {
        QTest::addColumn<int>("detail");
        QTest::addColumn<int>("state");
        QTest::newRow("active") << 25601 << 3;
        QTest::newRow("passive") << 25602 << 4;
        QTest::newRow("server") << 25603 << 2;
        QTest::newRow("start") << 25604 << 1;
        QTest::newRow("end") << 25605 << 5;
        QTest::newRow("resume") << 25606 << 1;
        QTest::newRow("pause") << 25607 << 1;
    }
    void detailMapsToState()
    {
        QFETCH(int, detail);
        QFETCH(int, state);
        FileState r = record(L"Photos/sub/ä.jpg", L"/home/u/Photos/sub/ä.jpg", 5000, 1234);
        TransferListener listener;
        RepeaterTransfer repeater(&listener);
        repeater.connect();
        repeater.sendFileState(&r, detail);
        repeater.sendFileState(nullptr, detail);
        QCOMPARE(listener.fileStates.size(), 1);
        const TransFileState got = listener.fileStates.first();
        QCOMPARE(got.getTransState(), state);
        QCOMPARE(got.getHashKey(), QString::asprintf("%8p", static_cast<const void*>(&r)));
        QCOMPARE(got.getName(), QString::fromUtf8("Photos/sub/ä.jpg"));
        QCOMPARE(got.getPath(), QString::fromUtf8("/home/u/Photos/sub/ä.jpg"));
        QCOMPARE(got.getFileSize(), qint64(5000));
        QCOMPARE(got.getTransSize(), qint64(1234));
    }

    // The announced list and later per-file events carry the same keys, so updates find their entry.
    void listAndEventsShareKeys()
    {
        std::vector<FileState> records = {record(L"a", L"/s/a", 10, 0), record(L"b", L"/s/b", 20, 0),
                                          record(L"c", L"/s/c", 30, 0)};
        std::vector<FileState*> pointers;
        for (FileState& r : records)
            pointers.push_back(&r);
        TransferListener listener;
        RepeaterTransfer repeater(&listener);
        repeater.connect();
        repeater.sendFileStateList(pointers);
        QCOMPARE(listener.list.count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(listener.list.getAt(i).getTransState(), 1);
            QCOMPARE(listener.list.getAt(i).getPath(), QString::fromStdWString(records[i].path));
        }
        records[1].transferred = 20;
        repeater.sendFileState(&records[1], Ostrel::TransferTask::TRANSFERRING_END_FILE);
        QCOMPARE(listener.unknownKeys, 0);
        QCOMPARE(listener.list.getAt(1).getTransState(), 5);
        QCOMPARE(listener.list.getAt(1).getTransSize(), qint64(20));
        QCOMPARE(listener.list.getAt(0).getTransState(), 1);
        QCOMPARE(listener.list.getTransCount(), 1);
    }

    void modeMapsToTaskType_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("send");
        QTest::addColumn<int>("recv");
        QTest::newRow("direct") << 1 << 0 << 2;
        QTest::newRow("upload") << 2 << 1 << 4;
        QTest::newRow("hybrid") << 3 << 3 << 5;
        QTest::newRow("undetermined") << 0 << -1 << -1;
        QTest::newRow("out of range") << 7 << -1 << -1;
    }
    void modeMapsToTaskType()
    {
        QFETCH(int, mode);
        QFETCH(int, send);
        QFETCH(int, recv);
        TransferListener listener;
        RepeaterUpload upload(&listener);
        RepeaterDownload download(&listener);
        upload.connect();
        download.connect();
        upload.sendTaskType(mode);
        download.sendTaskType(mode);
        QList<int> expected;
        if (send >= 0)
            expected << send << recv;
        QList<int> got;
        for (const TransTaskType& type : listener.types)
            got << type.getType();
        QCOMPARE(got, expected);
    }

    void keyInfoFromUnixSeconds()
    {
        TransferListener listener;
        RepeaterUpload upload(&listener);
        RepeaterDownload download(&listener);
        upload.connect();
        download.connect();
        upload.sendKeyInfo(L"123456", "http://x/link/ab", 1700000000);
        QCOMPARE(listener.key, QString("123456"));
        QCOMPARE(listener.link, QString("http://x/link/ab"));
        QCOMPARE(listener.expiry.toSecsSinceEpoch(), qint64(1700000000));
        download.sendKeyInfo(L"654321", 1700000600);
        QCOMPARE(listener.key, QString("654321"));
        QCOMPARE(listener.expiry.toSecsSinceEpoch(), qint64(1700000600));
        QCOMPARE(listener.events, QStringList({"key", "key"}));
    }

    void infoGroupFlagsAndClear()
    {
        TransInfoGroup group;
        QVERIFY(!group.isTransTaskType() && !group.isParam() && !group.isComment() && !group.isPeerDevID() &&
                !group.isKey() && !group.isLinkUrl() && !group.isExpTime() && !group.isStartTime() &&
                !group.isFinishState() && !group.isErrorState() && !group.isSelfCancel() &&
                !group.isFileStateList() && !group.isMainThumb());
        QCOMPARE(group.getTransTaskType().getType(), TransTaskType::UNKNOWN);
        QCOMPARE(group.getExpTime().toSecsSinceEpoch(), qint64(0));

        // A send in direct mode is type 0, and that is a known type.
        group.setTransTaskType(TransTaskType(TransTaskType::SEND_DIRECT));
        QVERIFY(group.isTransTaskType());
        group.setTransTaskType(TransTaskType());
        QVERIFY(!group.isTransTaskType());
        group.setTransTaskType(TransTaskType(TransTaskType::RECV_UPLOAD));

        const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000);
        group.setParam(ParamDownload("123456", "dev", "hi"));
        group.setComment("hi");
        group.setPeerDevID("dev");
        group.setKey("123456");
        group.setLinkUrl("http://x/link/1");
        group.setExpTime(when);
        group.setStartTime(when.addSecs(-60));
        group.setFinishState(257);
        group.setErrorState(524);
        group.setSelfCancel(true);
        group.setFileStateList(listOf({"a", "b"}));
        group.setMainThumb("PNG");
        group.setLinkSharingTermsUrl("http://terms");
        QVERIFY(group.isTransTaskType() && group.isParam() && group.isComment() && group.isPeerDevID() &&
                group.isKey() && group.isLinkUrl() && group.isExpTime() && group.isStartTime() &&
                group.isFinishState() && group.isErrorState() && group.isSelfCancel() && group.isFileStateList() &&
                group.isMainThumb());
        QCOMPARE(group.getTransTaskType().getType(), TransTaskType::RECV_UPLOAD);
        QCOMPARE(dynamic_cast<const ParamDownload*>(group.getParam())->getKey_(), QString("123456"));
        QCOMPARE(group.getKey(), QString("123456"));
        QCOMPARE(group.getExpTime(), when);
        QCOMPARE(group.getStartTime(), when.addSecs(-60));
        QCOMPARE(group.getFinishState(), 257);
        QCOMPARE(group.getErrorState(), 524);
        QCOMPARE(group.getFileStateList().count(), 2);
        QCOMPARE(group.getMainThumb(), QByteArray("PNG"));
        QCOMPARE(group.getLinkSharingTermsUrl(), QString("http://terms"));

        // A copy owns its own parameter record and outlives the original's clear.
        TransInfoGroup copy(group);
        group.clear();
        QVERIFY(!group.isTransTaskType() && !group.isParam() && !group.isComment() && !group.isPeerDevID() &&
                !group.isKey() && !group.isLinkUrl() && !group.isExpTime() && !group.isStartTime() &&
                !group.isFinishState() && !group.isErrorState() && !group.isSelfCancel() &&
                !group.isFileStateList() && !group.isMainThumb());
        QVERIFY(!group.getParam());
        QVERIFY(group.getKey().isEmpty() && group.getComment().isEmpty() && group.getLinkSharingTermsUrl().isEmpty());
        QCOMPARE(group.getStartTime().toSecsSinceEpoch(), qint64(0));
        QCOMPARE(group.getFinishState(), 0);
        QCOMPARE(group.getErrorState(), 0);
        QVERIFY(!group.getSelfCancel());
        QCOMPARE(group.getFileStateList().count(), 0);
        QVERIFY(copy.isParam() && copy.isKey());
        QCOMPARE(dynamic_cast<const ParamDownload*>(copy.getParam())->getComment(), QString("hi"));
        QCOMPARE(copy.getFileStateList().count(), 2);
    }

    void uploadParamGivesEngineRecordsInOrder()
    {
        TransFileStateList list;
        list.add(TransFileState("k1", "/home/u/a.txt", "a.txt", 3, 0, 0));
        list.add(TransFileState("k2", "/home/u/Photos/sub/ü.jpg", "Photos/sub/ü.jpg", 9, 0, 0));
        const ParamUpload param(list, ParamUpload::MODE_HYBRID, "777", "thumb");
        std::unique_ptr<ParamBase> copy(param.clone());
        const auto* typed = dynamic_cast<const ParamUpload*>(copy.get());
        QVERIFY(typed);
        QCOMPARE(typed->getMode(), int(ParamUpload::MODE_HYBRID));
        QCOMPARE(typed->getKey(), QString("777"));
        QCOMPARE(typed->getThumbnail(), QByteArray("thumb"));
        QCOMPARE(typed->getTransList().count(), 2);
        const auto infos = typed->getFileListStd();
        QCOMPARE(infos.size(), size_t(2));
        QCOMPARE(QString::fromStdWString(infos[1].name), QString::fromUtf8("Photos/sub/ü.jpg"));
        QCOMPARE(QString::fromStdWString(infos[1].path), QString::fromUtf8("/home/u/Photos/sub/ü.jpg"));
        QCOMPARE(QString::fromStdWString(infos[0].name), QString("a.txt"));
        for (const auto& info : infos) {
            QCOMPARE(info.size, uint64_t(0));
            QCOMPARE(info.time, 0);
            QVERIFY(!info.read);
        }

        const ParamLinkSharingDownload link("abc", "dev", "note");
        std::unique_ptr<ParamBase> linkCopy(link.clone());
        QVERIFY(dynamic_cast<const ParamLinkSharingDownload*>(linkCopy.get()));
        const auto* download = dynamic_cast<const ParamDownload*>(linkCopy.get());
        QCOMPARE(download->getKey(), std::wstring(L"abc"));
        QCOMPARE(download->getKey_(), QString("abc"));
        QCOMPARE(download->getPeerDevID(), QString("dev"));
        QCOMPARE(download->getComment(), QString("note"));
    }

    // Whether a wrapper may show the peer, by record; nothing is started.
    void peerShownOnlyWithoutServerKey_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("peer");
        QTest::newRow("send direct") << 0 << true;
        QTest::newRow("send upload") << 1 << false;
        QTest::newRow("send hybrid") << 2 << false;
        QTest::newRow("receive") << -1 << true;
    }
    void peerShownOnlyWithoutServerKey()
    {
        QFETCH(int, mode);
        QFETCH(bool, peer);
        TaskSandbox sandbox;
        TransferListener listener;
        std::unique_ptr<ParamBase> param;
        if (mode >= 0)
            param.reset(new ParamUpload(TransFileStateList(), mode));
        else
            param.reset(new ParamDownload("123", "", ""));
        std::unique_ptr<TaskBase> task(TaskManager::instance()->createTask(*param, &listener));
        auto* transfer = dynamic_cast<TaskTransfer*>(task.get());
        QVERIFY(transfer);
        QCOMPARE(transfer->isPeerDev(), peer);
        // Without an engine task there is nothing to tell.
        transfer->sendPeerDev();
        QVERIFY(listener.events.isEmpty());
    }

    void linkRecordIsNotAPlainDownload()
    {
        TaskSandbox sandbox;
        TransferListener listener;
        std::unique_ptr<TaskBase> task(
            TaskManager::instance()->createTask(ParamLinkSharingDownload("123", "", ""), &listener));
        QVERIFY(task);
        QCOMPARE(QString(task->metaObject()->className()), QString("TaskLinkSharingDownload"));
        std::unique_ptr<TaskBase> plain(TaskManager::instance()->createTask(ParamDownload("123", "", ""), &listener));
        QCOMPARE(QString(plain->metaObject()->className()), QString("TaskDownload"));
    }
};

int runTransFileStateTests(int argc, char** argv)
{
    TestTransFileState test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_transfilestate.moc"
