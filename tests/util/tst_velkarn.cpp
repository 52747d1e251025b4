#include "velkarn.h"

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/utsname.h>

namespace {

velkarn codecAtSecond(int second)
{
    velkarn codec;
    codec.setSecondsSource([second] { return second; });
    return codec;
}

}

// The utility class: text primitives, codecs, the file cursor, paths and host facts.
// The file tree: a.pdf  b.txt  .hidden.pdf  .hdir/x.pdf  s/c.pdf  s/deep/My Book.PDF
class TestVelkarn : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString entry(const QString &relative) const
    {
        return QUrl::fromLocalFile(m_root.filePath(relative)).toString(QUrl::FullyEncoded).mid(7);
    }
    QUrl rootUrl() const { return QUrl::fromLocalFile(m_root.path()); }

private slots:
    void initTestCase()
    {
        QDir dir(m_root.path());
        QVERIFY(dir.mkpath("s/deep") && dir.mkpath(".hdir"));
        for (const char *name : {"a.pdf", "b.txt", ".hidden.pdf", ".hdir/x.pdf", "s/c.pdf", "s/deep/My Book.PDF"})
            QVERIFY(QFile(dir.filePath(name)).open(QIODevice::WriteOnly));
    }

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

    // Outside 0-9A-F, hexdec counts a digit as 0; hexdec8bit reads two digits by their distance from '0' or 'A'.
    void numbersAndCharacters()
    {
        for (const auto &[digits, value, value8bit] : {std::tuple{"1G", 16, 32}, {"G0", 0, 256}, {"/0", 0, -16},
                                                        {"", 0, 0}, {"0010", 16, 0}}) {
            QCOMPARE(velkarn::hexdec(digits), qint64(value));
            QCOMPARE(velkarn::hexdec8bit(digits), qint64(value8bit));
        }
        for (const qint64 v : {qint64(0), qint64(4096), std::numeric_limits<qint64>::max(), qint64(-42)})
            QCOMPARE(velkarn::hexdec(velkarn::dechex(v)), v);
        for (int code = 0; code < 256; ++code)
            QCOMPARE(velkarn::asc(velkarn::chrint(code + 256)), qint64(code));
    }

    // Each helper leaves filenamestart where the name begins; GetName and GetExt leave it alone.
    void paths()
    {
        using Result = QPair<QString, qint32>;
        velkarn v;
        v.setFilenamestart(-5);
        const auto result = [&v](const QString &text) { return Result(text, v.filenamestart()); };
        const QList<Result> got{result(velkarn::GetName("a.b.c")),
                                result(v.Findfilename("/Users/a/book.pdf")),
                                result(v.Findfilenamenoext("a.b.c")),
                                result(v.Findfilepath("/Users/a/book.pdf")),
                                result(v.Findfilenamenoext(".pdf")),
                                result(v.Changefilenamename("/d/old.tar.gz", "new")),
                                result(v.Changefilenamename("old", "new")),
                                result(v.Changefilenameext("/d/a.b.c", "txt")),
                                result(v.Changefilenameext("/d.x/a", "txt")),
                                result(velkarn::GetExt("a.b.c"))};
        QCOMPARE(got, (QList<Result>{{"a", -5}, {"book.pdf", 9}, {"a.b", 3}, {"/Users/a/", 9}, {"", 0},
                                     {"/d/new.tar.gz", 3}, {"new", 0}, {"/d/a.b.txt", 3}, {"/d.x/a.txt", 5},
                                     {".b.c", 5}}));
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
                     {"crc", "0000012750464646", "abc", 0},
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

    void cursorWalk()
    {
        velkarn v;
        v.fetchfilesman(rootUrl());
        const QStringList list = v.filelist();
        QCOMPARE(list.size(), 4);
        QCOMPARE(list.mid(2), QStringList({entry("s/c.pdf"), entry("s/deep/My Book.PDF")}));
        // Steps past either end answer "" and stay there.
        const QStringList walk{v.GetFirstFile(""), v.GetNextFile(""), v.GetPrevFile(), v.GetPrevFile(),
                               v.GetLastFile(), v.GetNextFile(""), v.GetNextFile(""), v.GetPrevFile()};
        QCOMPARE(walk, (QStringList{list[0], list[1], list[0], "", list[3], "", "", list[3]}));

        // Patterns match the name, not the folders, and the cursor stays where nothing matched.
        const QStringList found{v.GetFirstFile("book"), v.GetNextFile("book"), v.GetFirstFile("PDF")};
        QCOMPARE(found, (QStringList{entry("s/deep/My Book.PDF"), "", ""}));
        QCOMPARE(v.filecount, 3);
        const QStringList more{v.GetFirstFile("c.p"), v.GetNextFile("pdf"), v.GetFirstFile("deep")};
        QCOMPARE(more, (QStringList{entry("s/c.pdf"), entry("s/deep/My Book.PDF"), ""}));
    }

    // Output and errors in the order written, then the end mark; stdin is closed; text that
    // is not UTF-8 gives a null string.
    void runCommand()
    {
        const QList<QPair<QString, QString>> cases{{"exit 3", ":Task Completed:"},
                                                   {"echo 1; echo 2 >&2; echo 3", "1\n2\n3\n:Task Completed:"},
                                                   {"cat", ":Task Completed:"},
                                                   {"printf '\\377'", QString()}};
        for (const auto &[command, expected] : cases) {
            const QString output = velkarn::runCommand(command);
            QCOMPARE(output, expected);
            QCOMPARE(output.isNull(), expected.isNull());
        }
    }

    void hostFacts()
    {
        for (const char *outside : {"kern/../../etc/passwd", "kern..x", "", "kern.no_such_value"})
            QVERIFY(velkarn::systemInfoString(outside).isNull());
        struct utsname facts;
        QCOMPARE(uname(&facts), 0);
        QCOMPARE(velkarn::systemInfoString("kern.ostype"), QString::fromUtf8(facts.sysname));
        QCOMPARE(velkarn::hostName(), QString::fromUtf8(facts.nodename).section('.', 0, 0));
    }
};

QTEST_APPLESS_MAIN(TestVelkarn)
#include "tst_velkarn.moc"
