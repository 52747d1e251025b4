#include "velkarn.h"

#include <QRandomGenerator>
#include <QTest>

static velkarn codecAtSecond(int second)
{
    velkarn codec;
    codec.setSecondsSource([second] { return second; });
    return codec;
}

class TestVelkarnCodecs : public QObject
{
    Q_OBJECT

private slots:
    void decoders_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("encoded");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<int>("status");
        QTest::newRow("swap example") << "swap" << "50464646" << "abc" << 1;
        QTest::newRow("swap unpaired tail") << "swap" << "504646464" << "abc" << 1;
        QTest::newRow("swap key wraps, lower case") << "swap" << "ffe916" << "aa" << 1;
        QTest::newRow("swap empty keeps flag") << "swap" << "" << "" << 7;
        QTest::newRow("crc ok") << "crc" << "0000012650464646" << "abc" << 1;
        QTest::newRow("crc changed checksum") << "crc" << "0000012750464646" << "abc" << 0;
        QTest::newRow("simple ok") << "simple" << "00000126abc" << "abc" << 1;
        QTest::newRow("simple mismatch") << "simple" << "00000127abc" << "abc" << 0;
        QTest::newRow("dated empty") << "dated" << "" << "InvalidB" << 7;
        QTest::newRow("dated invalid") << "dated" << "0000012604xxInVaLiDxx" << "InvalidA" << 7;
        QTest::newRow("dated shorter than key field") << "dated" << "000000000A12345" << "" << 7;
    }
    void decoders()
    {
        QFETCH(QString, op);
        QFETCH(QString, encoded);
        QFETCH(QString, plain);
        QFETCH(int, status);
        velkarn codec;
        codec.setCrcstatus(7);
        codec.setDecodedatestr("kept");
        const QString text = op == "swap" ? codec.decodestr(encoded)
            : op == "crc"                 ? codec.decodestrcrc(encoded)
            : op == "simple"              ? codec.decodestrcrcsimple(encoded)
                                          : codec.decodestrnew(encoded, 0);
        QCOMPARE(text, plain);
        QCOMPARE(codec.crcstatus(), quint8(status));
        if (op == "dated")
            QCOMPARE(codec.decodedatestr(), QString("kept"));
    }

    void encodersAtFixedSeconds()
    {
        QCOMPARE(codecAtSecond(5).encodestr("abc"), QString("50464646"));
        QVERIFY(codecAtSecond(59).encodestr("abc").startsWith("B3"));
        QCOMPARE(codecAtSecond(5).encodestrcrc("abc"), QString("0000012650464646"));
        // Checksum 61, a key field of 0E characters holding the checksummed
        // "12", seed 5, then 'a' XOR (0x12 + 5).
        QCOMPARE(codecAtSecond(5).encodestrnew("a", "12"), QString("000000610E000000635043435067"));
        velkarn codec = codecAtSecond(5);
        QCOMPARE(codec.encodemaster("abc", "99"), codec.encodestrnew("abc", "99"));
        codec.setStoreonly(1);
        QCOMPARE(codec.encodemaster("abc", "99"), QString("0000012650464646"));
    }

    void roundTripsEverySeed()
    {
        QRandomGenerator rng(20240601);
        const auto ascii = [&rng](int length) {
            QString text;
            for (int i = 0; i < length; ++i)
                text.append(QChar(char16_t(rng.bounded(32, 127))));
            return text;
        };
        for (const int length : {1, 57, 300, 700}) {
            const QString text = ascii(length);
            const QString key = ascii(1 + length % 40);
            for (int second = 0; second < 60; ++second) {
                velkarn codec = codecAtSecond(second);
                QCOMPARE(codec.decodestr(codec.encodestr(text)), text);
                QCOMPARE(codec.decodestrcrc(codec.encodestrcrc(text)), text);
                QCOMPARE(codec.crcstatus(), quint8(1));
                QCOMPARE(codec.decodestrnew(codec.encodestrnew(text, key), 0), text);
                QCOMPARE(codec.crcstatus(), quint8(1));
                QCOMPARE(codec.datestr_global, key);
            }
        }
    }

    void datedEdges()
    {
        QString bytes;
        for (int code = 0; code < 256; ++code)
            bytes.append(QChar(char16_t(code)));
        velkarn codec = codecAtSecond(50);
        // Key byte FF plus seed 50 runs past one byte for every character.
        const QString encoded = codec.encodestrnew(bytes, "FF");
        QCOMPARE(codec.decodestrnew(QString::fromLatin1(encoded.toLatin1().toBase64()), 1), bytes);
        QCOMPARE(codec.crcstatus(), quint8(1));
        QCOMPARE(codec.decodestrnew("not base64!", 1), QString("InvalidB"));
        QCOMPARE(codec.decodestrnew(QString::fromLatin1(QByteArray("\xff").toBase64()), 1), QString("InvalidB"));
        // An empty key field carries no checksum: an earlier mismatch must
        // not stick to a correct text.
        codec.decodestrcrc("0000012750464646");
        QCOMPARE(codec.decodestrnew(codec.encodestrnew("no key", ""), 0), QString("no key"));
        QCOMPARE(codec.crcstatus(), quint8(1));
        // Two length digits describe at most 255 characters of key field.
        QVERIFY(!codec.encodestrnew("x", QString(122, u'1')).isNull());
        QVERIFY(codec.encodestrnew("x", QString(123, u'1')).isNull());
    }
};

QTEST_APPLESS_MAIN(TestVelkarnCodecs)
#include "tst_velkarncodecs.moc"
