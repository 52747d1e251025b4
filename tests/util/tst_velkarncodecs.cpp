#include "velkarn.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

velkarn codecAtSecond(int second)
{
    velkarn codec;
    codec.setSecondsSource([second] { return second; });
    return codec;
}

QString randomAscii(QRandomGenerator &rng, int length)
{
    QString text;
    for (int i = 0; i < length; ++i)
        text.append(QChar(char16_t(rng.bounded(32, 127))));
    return text;
}

} // namespace

class TestVelkarnCodecs : public QObject
{
    Q_OBJECT

private slots:
    void pairSwapDecode_data();
    void pairSwapDecode();
    void encodersAtFixedSeconds();
    void roundTripsEverySeed();
    void everyByteRoundTrips();
    void checksumMismatch_data();
    void checksumMismatch();
    void datedKeyFieldIsChecksummed();
    void datedHighKeyBytesKeepChecksum();
    void datedRejections();
    void datedStaleFlagIsCleared();
    void encodemasterFollowsStoreonly();
};

void TestVelkarnCodecs::pairSwapDecode_data()
{
    QTest::addColumn<QString>("encoded");
    QTest::addColumn<QString>("plain");
    QTest::newRow("example") << "50464646" << "abc";
    QTest::newRow("unpaired tail") << "504646464" << "abc";
    QTest::newRow("key wraps") << "FFE916" << "aa";
    QTest::newRow("lower case") << "ffe916" << "aa";
    QTest::newRow("seed only") << "50" << "";
    QTest::newRow("one digit") << "5" << "";
    QTest::newRow("no pair") << "504" << "";
}

void TestVelkarnCodecs::pairSwapDecode()
{
    QFETCH(QString, encoded);
    QFETCH(QString, plain);
    velkarn codec;
    QCOMPARE(codec.decodestr(encoded), plain);
    QCOMPARE(codec.crcstatus(), quint8(1));
    codec.setCrcstatus(0);
    QCOMPARE(codec.decodestr(""), QString(""));
    QCOMPARE(codec.crcstatus(), quint8(0));
}

void TestVelkarnCodecs::encodersAtFixedSeconds()
{
    QCOMPARE(codecAtSecond(5).encodestr("abc"), QString("50464646"));
    QVERIFY(codecAtSecond(0).encodestr("abc").startsWith("00"));
    QVERIFY(codecAtSecond(59).encodestr("abc").startsWith("B3"));
    QCOMPARE(codecAtSecond(5).encodestrcrc("abc"), QString("0000012650464646"));
    // Checksum 61, key field 0E long (the checksummed "12"), seed 5, then
    // 'a' XOR (0x12 + 5).
    QCOMPARE(codecAtSecond(5).encodestrnew("a", "12"), QString("000000610E000000635043435067"));
    QCOMPARE(codecAtSecond(5).encodestr(""), QString(""));
}

void TestVelkarnCodecs::roundTripsEverySeed()
{
    QRandomGenerator rng(20240601);
    for (const int length : {1, 2, 57, 300, 700}) {
        const QString text = randomAscii(rng, length);
        const QString key = randomAscii(rng, 1 + length % 40);
        for (int second = 0; second < 60; ++second) {
            velkarn codec = codecAtSecond(second);
            const QString swapped = codec.encodestr(text);
            QCOMPARE(swapped.size(), 2 + 2 * length);
            QCOMPARE(codec.decodestr(swapped), text);
            QCOMPARE(codec.decodestrcrc(codec.encodestrcrc(text)), text);
            QCOMPARE(codec.crcstatus(), quint8(1));
            QCOMPARE(codec.decodestrnew(codec.encodestrnew(text, key), 0), text);
            QCOMPARE(codec.crcstatus(), quint8(1));
            QCOMPARE(codec.decodedatestr(), key);
            QCOMPARE(codec.datestr_global, key);
        }
    }
}

void TestVelkarnCodecs::everyByteRoundTrips()
{
    QString bytes;
    for (int code = 0; code < 256; ++code)
        bytes.append(QChar(char16_t(code)));
    velkarn codec = codecAtSecond(33);
    QCOMPARE(codec.decodestr(codec.encodestr(bytes)), bytes);
    QCOMPARE(codec.decodestrcrc(codec.encodestrcrc(bytes)), bytes);
    QCOMPARE(codec.decodestrnew(QString::fromLatin1(codec.encodestrnew(bytes, "A7").toLatin1().toBase64()), 1), bytes);
    QCOMPARE(codec.crcstatus(), quint8(1));
}

void TestVelkarnCodecs::checksumMismatch_data()
{
    QTest::addColumn<QString>("encoded");
    QTest::addColumn<bool>("simple");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<int>("status");
    QTest::newRow("crc ok") << "0000012650464646" << false << "abc" << 1;
    QTest::newRow("crc changed checksum") << "0000012750464646" << false << "abc" << 0;
    QTest::newRow("crc changed byte") << "0000012650464647" << false << "abs" << 0;
    QTest::newRow("crc empty body") << "0000000050" << false << "" << 1;
    QTest::newRow("crc empty body, checksum set") << "0000000150" << false << "" << 0;
    QTest::newRow("simple ok") << "00000126abc" << true << "abc" << 1;
    QTest::newRow("simple mismatch") << "00000127abc" << true << "abc" << 0;
    QTest::newRow("simple no text") << "00000000" << true << "" << 1;
}

void TestVelkarnCodecs::checksumMismatch()
{
    QFETCH(QString, encoded);
    QFETCH(bool, simple);
    QFETCH(QString, plain);
    QFETCH(int, status);
    velkarn codec;
    codec.setCrcstatus(7);
    QCOMPARE(simple ? codec.decodestrcrcsimple(encoded) : codec.decodestrcrc(encoded), plain);
    QCOMPARE(codec.crcstatus(), quint8(status));
}

void TestVelkarnCodecs::datedKeyFieldIsChecksummed()
{
    velkarn codec = codecAtSecond(9);
    const QString encoded = codec.encodestrnew("book.pdf", "20240601");
    const qint64 keyLength = velkarn::hexdec(encoded.mid(8, 2));
    QCOMPARE(codec.decodestrcrc(encoded.mid(10, keyLength)), QString("20240601"));
    QCOMPARE(codec.crcstatus(), quint8(1));
    // Two digits describe the key field, so keys beyond 122 characters
    // cannot be written.
    QVERIFY(!codec.encodestrnew("x", QString(122, u'1')).isNull());
    QVERIFY(codec.encodestrnew("x", QString(123, u'1')).isNull());
}

void TestVelkarnCodecs::datedHighKeyBytesKeepChecksum()
{
    // Key byte FF plus seed 50 runs past one byte for every character.
    velkarn codec = codecAtSecond(50);
    const QString text = "a text long enough to see every byte summed";
    QCOMPARE(codec.decodestrnew(codec.encodestrnew(text, "FF"), 0), text);
    QCOMPARE(codec.crcstatus(), quint8(1));
    QCOMPARE(codec.decodestrnew(codec.encodestrnew(text, "F0F1F2"), 0), text);
    QCOMPARE(codec.crcstatus(), quint8(1));
}

void TestVelkarnCodecs::datedRejections()
{
    velkarn codec = codecAtSecond(3);
    codec.setDecodedatestr("kept");
    codec.setCrcstatus(7);
    QCOMPARE(codec.decodestrnew("", 0), QString("InvalidB"));
    QCOMPARE(codec.decodestrnew("not base64!", 1), QString("InvalidB"));
    QCOMPARE(codec.decodestrnew(QString::fromLatin1(QByteArray("\xff\xfe").toBase64()), 1), QString("InvalidB"));
    QCOMPARE(codec.decodestrnew("0000012604xxInVaLiDxx", 0), QString("InvalidA"));
    QCOMPARE(codec.decodestrnew("000000000A12345", 0), QString(""));
    QCOMPARE(codec.decodedatestr(), QString("kept"));
    QCOMPARE(codec.crcstatus(), quint8(7));
}

void TestVelkarnCodecs::datedStaleFlagIsCleared()
{
    velkarn codec = codecAtSecond(12);
    codec.decodestrcrc("0000012750464646");
    QCOMPARE(codec.crcstatus(), quint8(0));
    QCOMPARE(codec.decodestrnew(codec.encodestrnew("no key", ""), 0), QString("no key"));
    QCOMPARE(codec.crcstatus(), quint8(1));
}

void TestVelkarnCodecs::encodemasterFollowsStoreonly()
{
    velkarn codec = codecAtSecond(5);
    QCOMPARE(codec.encodemaster("abc", "99"), codec.encodestrnew("abc", "99"));
    codec.setStoreonly(1);
    QCOMPARE(codec.encodemaster("abc", "99"), QString("0000012650464646"));
}

QTEST_APPLESS_MAIN(TestVelkarnCodecs)
#include "tst_velkarncodecs.moc"
