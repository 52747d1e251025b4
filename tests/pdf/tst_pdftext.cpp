#include "PdfRenderQueue.h"
#include "PdfTextFold.h"
#include "PdfTextProtocol.h"

#include <QTest>

using namespace vk;

using Matches = QList<TextMatch>;

class TestPdfText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void findFolded_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<Matches>("expected"); // in page positions
        QTest::newRow("case-insensitive, all in order")
            << QStringLiteral("Gamma gamma GAMMA") << QStringLiteral("gAmMa")
            << Matches{{0, 5}, {6, 5}, {12, 5}};
        QTest::newRow("non-overlapping") << QStringLiteral("aaaa") << QStringLiteral("aa")
                                         << Matches{{0, 2}, {2, 2}};
        QTest::newRow("ss matches sharp s") << QStringLiteral("Die Straße") << QStringLiteral("STRASSE")
                                            << Matches{{4, 6}};
        QTest::newRow("sharp s matches ss") << QStringLiteral("Strasse") << QStringLiteral("straße")
                                            << Matches{{0, 7}};
        QTest::newRow("after an expansion") << QStringLiteral("ß ß word") << QStringLiteral("Word")
                                            << Matches{{4, 4}};
        QTest::newRow("half an expansion") << QStringLiteral("aß") << QStringLiteral("as")
                                           << Matches{};
        QTest::newRow("ending inside an expansion, then a real one")
            << QStringLiteral("\uFB01 fi") << QStringLiteral("f") << Matches{{2, 1}};
        QTest::newRow("whole ligature") << QStringLiteral("a \uFB01ne day") << QStringLiteral("FINE")
                                        << Matches{{2, 3}};
        QTest::newRow("astral letter") << QStringLiteral("x\U00010400y") << QStringLiteral("\U00010428Y")
                                       << Matches{{1, 3}};
        QTest::newRow("empty pattern") << QStringLiteral("abc") << QString() << Matches{};
    }

    void findFolded()
    {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(Matches, expected);
        QCOMPARE(::findFolded(foldCase(text), foldCase(pattern).text), expected);
    }

    void renderQueueReplacesPerClient()
    {
        PdfRenderQueue queue;
        const QSize s(10, 10), big(20, 20);
        queue.replace(1, {{0, 5, s}, {0, 6, s}, {0, 4, s}});
        queue.replace(2, {{0, 9, s}});
        // Client 1 scrolled on: page 4 left the view, page 7 came in; newest first.
        queue.replace(1, {{0, 6, s}, {0, 7, s}, {0, 6, s}, {0, -1, s}, {0, 8, QSize()}});
        QCOMPARE(queue.requests(), (QList<PdfRenderRequest>{{1, 6, s}, {1, 7, s}, {2, 9, s}}));
        QCOMPARE(queue.takeNext(), (PdfRenderRequest{1, 6, s}));
        // Page 6 is being rendered: asking again does not queue it twice.
        queue.replace(1, {{0, 6, s}, {0, 7, s}});
        queue.replace(2, {{0, 9, big}});
        QCOMPARE(queue.requests(), (QList<PdfRenderRequest>{{2, 9, big}, {1, 7, s}}));
        queue.finishRunning();
        queue.replace(1, {{0, 6, s}});
        QCOMPARE(queue.requests().first(), (PdfRenderRequest{1, 6, s}));
        queue.replace(1, {});
        queue.replace(2, {});
        QVERIFY(queue.isEmpty());
        QCOMPARE(queue.takeNext().page, -1);
    }

    void helperRequests()
    {
        const PdfTextRequest request{QByteArray::fromHex("255044462d00ff"), QStringLiteral("pässwörd"), 1, 2, 9};
        const QByteArray bytes = encodeTextRequest(request);
        const auto back = decodeTextRequest(bytes);
        QVERIFY(back);
        QCOMPARE(std::tie(back->pdf, back->password, back->firstPage, back->stride, back->endPage),
                 std::tie(request.pdf, request.password, request.firstPage, request.stride, request.endPage));
        QVERIFY(!decodeTextRequest(bytes.chopped(1)));
        QVERIFY(!decodeTextRequest(bytes + "x"));
        QVERIFY(!decodeTextRequest(QByteArray("VKPX") + bytes.mid(4)));
        QVERIFY(!decodeTextRequest(encodeTextRequest({{}, {}, 0, 0, 9}))); // a stride that never moves on
        QVERIFY(!decodeTextRequest(encodeTextRequest({{}, {}, 5, 1, 2})));
    }

    // A helper's output arrives in pieces of any size; records come out whole,
    // once each, and a stream out of step is refused rather than misread.
    void helperRecordsInPieces()
    {
        const QList<PdfPageRecord> records{{0, QStringLiteral("Straße \U00010400")},
                                           {2, QString()},
                                           {4, QString(5000, QLatin1Char('x'))}};
        QByteArray stream;
        for (const PdfPageRecord &r : records)
            stream += encodePageRecord(r);
        for (int piece : {1, 7, int(stream.size())}) {
            PdfPageRecordReader reader;
            QList<PdfPageRecord> got;
            for (qsizetype at = 0; at < stream.size(); at += piece) {
                reader.append(stream.mid(at, piece));
                const auto taken = reader.takeRecords();
                QVERIFY(taken);
                got += *taken;
            }
            QCOMPARE(got.size(), records.size());
            for (int i = 0; i < records.size(); ++i)
                QCOMPARE(std::tie(got[i].page, got[i].text), std::tie(records[i].page, records[i].text));
        }
        PdfPageRecordReader reader;
        reader.append(QByteArray::fromHex("7fffffff") + "rest");
        QVERIFY(!reader.takeRecords());
        reader.append(stream);
        QVERIFY(!reader.takeRecords());
    }
};

QTEST_GUILESS_MAIN(TestPdfText)
#include "tst_pdftext.moc"
