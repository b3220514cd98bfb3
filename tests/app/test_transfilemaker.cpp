#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include "sandbox.h"
#include "suites.h"
#include "task/transfilemaker.h"

namespace
{

void put(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    writeFile(path, bytes);
}

QStringList namesOf(const TransFileStateList& list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.getAt(i).getName();
    return names;
}

QSet<QString> keysOf(const TransFileStateList& list)
{
    QSet<QString> keys;
    for (int i = 0; i < list.count(); ++i)
        keys.insert(list.getAt(i).getHashKey());
    return keys;
}

} // namespace

class TestTransFileMaker : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_{QDir::tempPath() + "/trovanti-maker-XXXXXX"};
    QString at(const QString& relative) const { return dir_.path() + "/" + relative; }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        put(at("a.txt"), "abc");
        put(at("b.bin"), QByteArray(1000, 'b'));
        put(at("Photos/x.jpg"), "xx");
        put(at("Photos/sub/a.jpg"), "aaaa");
        put(at("Photos/sub/deeper/c.png"), "ccccc");
        put(at("Photos/.hidden"), "h");
        put(at("Photos/.cache/thumb.jpg"), "t");
        QVERIFY(QDir().mkpath(at("Photos/empty/inner")));
        QVERIFY(QDir().mkpath(at("Empty")));
        put(at("OnlyHidden/.x"), "x");
    }

    void cleanupTestCase() { TransFileMaker::cleanUp(); }

    void filesAndFolderBecomeFiveEntries()
    {
        const TransFileStateList list = TransFileMaker::instance()->convert(
            QStringList({at("a.txt"), at("b.bin"), at("Photos"), at("missing.txt"), at("Empty")}));
        QCOMPARE(namesOf(list), QStringList({"a.txt", "b.bin", "Photos/sub/a.jpg", "Photos/sub/deeper/c.png",
                                             "Photos/x.jpg"}));
        const QStringList paths = {at("a.txt"), at("b.bin"), at("Photos/sub/a.jpg"), at("Photos/sub/deeper/c.png"),
                                   at("Photos/x.jpg")};
        const QList<qint64> sizes = {3, 1000, 4, 5, 2};
        for (int i = 0; i < list.count(); ++i) {
            const TransFileState s = list.getAt(i);
            QCOMPARE(s.getPath(), QFileInfo(paths.at(i)).absoluteFilePath());
            QCOMPARE(s.getFileSize(), sizes.at(i));
            QCOMPARE(s.getTransSize(), qint64(0));
            QCOMPARE(s.getTransState(), 0);
            QCOMPARE(list.getIndex(s), i);
        }
        QCOMPARE(keysOf(list).size(), 5);
        QCOMPARE(list.getFileSize(), qint64(1014));
        QCOMPARE(list.getTransCount(), 0);

        // Keys stay distinct across lists, so entries of two picks can share one list.
        const TransFileStateList again = TransFileMaker::instance()->convert(QStringList({at("a.txt"), at("Photos")}));
        QCOMPARE(again.count(), 4);
        QVERIFY(!keysOf(again).intersects(keysOf(list)));
    }

    void fileInfosAndTrailingSlashGiveTheSameNames()
    {
        const TransFileStateList fromInfos = TransFileMaker::instance()->convert(
            QList<QFileInfo>({QFileInfo(at("Photos/")), QFileInfo(at("a.txt"))}));
        QCOMPARE(namesOf(fromInfos),
                 QStringList({"Photos/sub/a.jpg", "Photos/sub/deeper/c.png", "Photos/x.jpg", "a.txt"}));
        const TransFileStateList sub = TransFileMaker::instance()->convert(QStringList({at("Photos/sub")}));
        QCOMPARE(namesOf(sub), QStringList({"sub/a.jpg", "sub/deeper/c.png"}));
    }

    void nothingToSend_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("missing path") << QStringList({at("nope"), at("Photos/nope.jpg")});
        QTest::newRow("empty folder") << QStringList({at("Empty")});
        QTest::newRow("only hidden files") << QStringList({at("OnlyHidden")});
        QTest::newRow("nested empty folders") << QStringList({at("Photos/empty")});
        QTest::newRow("nothing") << QStringList();
    }
    void nothingToSend()
    {
        QFETCH(QStringList, paths);
        QCOMPARE(TransFileMaker::instance()->convert(paths).count(), 0);
    }

    // Symlinked folders are not entered (a link back up would loop, one elsewhere would sweep in
    // files from outside the pick); a symlinked file is sent as the file it points at.
    void symlinksInsideAFolder()
    {
        QTemporaryDir tree(QDir::tempPath() + "/trovanti-maker-links-XXXXXX");
        const QString root = tree.path() + "/Docs";
        put(root + "/plain.txt", "p");
        put(tree.path() + "/Outside/secret.txt", "s");
        QVERIFY(QFile::link(root, root + "/loop"));
        QVERIFY(QFile::link(tree.path() + "/Outside", root + "/elsewhere"));
        QVERIFY(QFile::link(tree.path() + "/Outside/secret.txt", root + "/shortcut.txt"));
        QVERIFY(QFile::link(tree.path() + "/gone.txt", root + "/dangling.txt"));
        const TransFileStateList list = TransFileMaker::instance()->convert(QStringList({root}));
        QCOMPARE(namesOf(list), QStringList({"Docs/plain.txt", "Docs/shortcut.txt"}));
        QCOMPARE(list.getAt(1).getFileSize(), qint64(1));
    }

    void rootFolderYieldsNothing()
    {
        QCOMPARE(TransFileMaker::instance()->convertFolderInfo(QFileInfo("/")).size(), 0);
        QCOMPARE(TransFileMaker::instance()->convert(QStringList({"/"})).count(), 0);
    }

    void convertDriveName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("drive root") << "C:/" << "C_drive/";
        QTest::newRow("other drive") << "D:/" << "D_drive/";
        QTest::newRow("longer label") << "ab:/" << "ab_drive/";
        QTest::newRow("too short") << ":/" << "";
        QTest::newRow("no slash") << "C:" << "";
        QTest::newRow("unix root") << "/" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("folder") << "/home/u" << "";
        QTest::newRow("inside a drive") << "C:/x" << "";
    }
    void convertDriveName()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(TransFileMaker::instance()->convertDriveName(path), name);
    }
};

int runTransFileMakerTests(int argc, char** argv)
{
    TestTransFileMaker test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_transfilemaker.moc"
