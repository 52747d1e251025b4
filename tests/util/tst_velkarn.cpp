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

}

// The utility class: the text cuts and codecs portal answers and the tool use, and host-fact guards.
class TestVelkarn : public QObject
{
    Q_OBJECT

private slots:
    // Out-of-range arguments give empty or clipped results, never a read outside the text.
    void cutsAndSearches()
    {
        QCOMPARE(velkarn::substr("ABCDEF", 2, 3), QString("CDE"));
        QCOMPARE(velkarn::substr("ABCDEF", -1, 2), QString(""));
        QCOMPARE(velkarn::substr("ABCDEF", 2, -4), QString(""));
        QCOMPARE(velkarn::substr("ABCDEF", 4, 10), QString("EF"));
        QCOMPARE(velkarn::substr("ABCDEF", 1, std::numeric_limits<qint64>::max()), QString("BCDEF"));
        QCOMPARE(velkarn::Findstring("a^^b^^c", "^^"), 1);
        QCOMPARE(velkarn::Findstring("abc", ""), -1);
        QCOMPARE(velkarn::Findstringfrom("a^^b^^c", "^^", 2), 4);
        QCOMPARE(velkarn::Findstringfrom("a^^b^^c", "^^", -1), -1);
        QCOMPARE(velkarn::Findascii("ABC", 66), 1);
    }

    // Each decoder starts from status 7 and a kept date text, to show what it sets.
    void decoders()
    {
        const struct {
            QString op, encoded, plain;
            int status;
        } cases[] = {{"swap", "50464646", "abc", 1},
                     {"swap", "504646464", "abc", 1}, // unpaired tail
                     {"swap", "ffe916", "aa", 1},     // key wraps, lower case
                     {"crc", "0000012650464646", "abc", 1},
                     {"simple", "00000126abc", "abc", 1},
                     {"simple", "00000127abc", "abc", 0},
                     {"dated", "", "InvalidB", 7},
                     {"dated", "0000012604xxInVaLiDxx", "InvalidA", 7},
                     {"dated", "000000000A12345", "", 7}}; // shorter than its key field
        for (const auto &[op, encoded, plain, status] : cases) {
            velkarn codec;
            codec.setCrcstatus(7);
            codec.setDecodedatestr("kept");
            const QString text = op == "swap" ? codec.decodestr(encoded)
                : op == "crc"                 ? codec.decodestrcrc(encoded)
                : op == "simple"              ? codec.decodestrcrcsimple(encoded)
                                              : codec.decodestrnew(encoded, 0);
            QCOMPARE(text, plain);
            QCOMPARE(codec.crcstatus(), quint8(status));
            QCOMPARE(codec.decodedatestr(), QString("kept"));
        }
    }

    // The tool's rows hold the other encoders' known answers.
    void encodersAtFixedSeconds()
    {
        QCOMPARE(codecAtSecond(5).encodestrcrc("abc"), QString("0000012650464646"));
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
        QCOMPARE(codec.decodestrnew(QString::fromLatin1(QByteArray("\xff").toBase64()), 1), QString("InvalidB"));
        // An empty key field carries no checksum: an earlier mismatch must not stick.
        codec.decodestrcrc("0000012750464646");
        QCOMPARE(codec.decodestrnew(codec.encodestrnew("no key", ""), 0), QString("no key"));
        QCOMPARE(codec.crcstatus(), quint8(1));
        // Two length digits describe at most 255 characters of key field.
        QVERIFY(!codec.encodestrnew("x", QString(122, u'1')).isNull());
        QVERIFY(codec.encodestrnew("x", QString(123, u'1')).isNull());
    }

    // Host facts read no file a name could lead to outside the kernel's own.
    void hostFacts()
    {
        for (const char *outside : {"kern/../../etc/passwd", "kern..x"})
            QVERIFY(velkarn::systemInfoString(outside).isNull());
        QVERIFY(!velkarn::systemInfoString("kern.ostype").isEmpty());
    }

    // The shell's input is closed, so a command that reads it ends at once.
    void runCommand()
    {
        QCOMPARE(velkarn::runCommand("cat"), QStringLiteral(":Task Completed:"));
        QCOMPARE(velkarn::runCommand("echo 1; echo 2 >&2"), QStringLiteral("1\n2\n:Task Completed:"));
    }
};

QTEST_APPLESS_MAIN(TestVelkarn)
#include "tst_velkarn.moc"
