#include <QtTest>

#include "core/passwordencoder.h"
#include "suites.h"

class TestPasswordEncoder : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("ascii") << QString("hunter2");
        QTest::newRow("latin-1") << QString::fromUtf8("Pässwörd ÿ");
        QTest::newRow("control and nul") << QString::fromLatin1("a\0b\x01", 4);
        QTest::newRow("long") << QString("x").repeated(700); // key bytes wrap around
        QTest::newRow("korean") << QString::fromUtf8("비밀번호123");
        QTest::newRow("mixed") << QString::fromUtf8("é漢字😀");
    }

    void roundTrip()
    {
        QFETCH(QString, text);
        PasswordEncoder* encoder = PasswordEncoder::instance();
        const QString encoded = encoder->encode(text);
        QCOMPARE(encoder->decode(encoded), text);
        if (!text.isEmpty())
            QVERIFY(!encoded.contains(text));
    }

    void latin1TextIsOneScrambledBytePerCharacterInBase64()
    {
        PasswordEncoder* encoder = PasswordEncoder::instance();
        const QString text = "aaaa";
        const QString encoded = encoder->encode(text);
        const QByteArray bytes = QByteArray::fromBase64(encoded.toLatin1());
        QCOMPARE(bytes.size(), text.size());
        QCOMPARE(QString::fromLatin1(bytes.toBase64()), encoded); // standard alphabet, padded
        // The key depends on the position: equal characters give different bytes, each step
        // down by one.
        for (int i = 1; i < bytes.size(); ++i) {
            const int previous = static_cast<unsigned char>(bytes[i - 1]) ^ 'a';
            const int current = static_cast<unsigned char>(bytes[i]) ^ 'a';
            QCOMPARE((previous - current + 256) % 256, 1);
        }
        QVERIFY(bytes != QByteArray("aaaa"));
    }

    void decodeOfNothingIsNothing()
    {
        QCOMPARE(PasswordEncoder::instance()->decode(QString()), QString());
        QCOMPARE(PasswordEncoder::instance()->encode(QString()), QString());
    }
};

int runPasswordEncoderTests(int argc, char** argv)
{
    TestPasswordEncoder test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_passwordencoder.moc"
