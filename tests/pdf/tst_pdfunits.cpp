#include "PdfFixtures.h"
#include "PdfOutline.h"
#include "PdfPageLayout.h"
#include "PdfTextFold.h"
#include "PdfTextProtocol.h"
#include "PdfTiles.h"

#include <QTest>

using namespace vk;

using Matches = QList<TextMatch>;
using Rects = QList<QRect>;

// The PDF layer's arithmetic and formats, without a document.
class TestPdfUnits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The page at a row is the one holding it; margins and gaps go to the page below.
    void rows()
    {
        constexpr int m = PdfPageLayout::kMargin;
        constexpr int g = PdfPageLayout::kGap;
        // Portrait, landscape, portrait at scale 1.
        const PdfPageLayout l = layoutPages({{100, 200}, {300, 100}, {100, 200}}, 1.0, 400);
        const int secondTop = m + 200 + g;
        // top, height, first and last page shown, page at the top row
        const QList<std::array<int, 5>> cases{{0, m, -1, -1, 0},
                                              {0, m + 1, 0, 0, 0},
                                              {m + 199, 1, 0, 0, 0},
                                              {m + 200, g, -1, -1, 1},
                                              {100, secondTop - 99, 0, 1, 0},
                                              {600, 100, -1, -1, 2}};
        for (const auto &[top, height, first, last, atTop] : cases) {
            QCOMPARE(visiblePages(l, top, height), (PageInterval{first, last}));
            QCOMPARE(pageAtOffset(l, top), atTop);
        }
    }

    void tiles()
    {
        constexpr int e = kTileEdge;
        // page, visible part, tiles: across four, ending on a tile's last pixel,
        // cut at the page's edges, a view reaching past the page
        const QList<std::tuple<QSize, QRect, Rects>> cases{
            {QSize(5000, 5000), QRect(e - 24, e - 24, 100, 100),
             {{0, 0, e, e}, {e, 0, e, e}, {0, e, e, e}, {e, e, e, e}}},
            {QSize(5000, 5000), QRect(e, 0, e, 1), {{e, 0, e, e}}},
            {QSize(e + 476, e + 76), QRect(0, 0, 5000, 5000),
             {{0, 0, e, e}, {e, 0, 476, e}, {0, e, e, 76}, {e, e, 476, 76}}},
            {QSize(2000, 2000), QRect(1900, -50, 500, 100), {{e, 0, 2000 - e, e}}}};
        for (const auto &[page, visible, tiles] : cases)
            QCOMPARE(tilesCovering(page, visible), tiles);
    }

    void findFolded()
    {
        // text, pattern, matches in page positions
        const QList<std::tuple<QString, QString, Matches>> cases{
            {"aaaa", "aa", {{0, 2}, {2, 2}}},          // not overlapping
            {"Die Straße", "STRASSE", {{4, 6}}},       // ss for sharp s
            {"aß", "as", {}},                          // half an expansion
            {"\uFB01 fi", "f", {{2, 1}}},              // ending inside an expansion, then a real one
            {"a \uFB01ne day", "FINE", {{2, 3}}},      // a whole ligature
            {"x\U00010400y", "\U00010428Y", {{1, 3}}}}; // an astral letter
        for (const auto &[text, pattern, expected] : cases)
            QCOMPARE(::findFolded(foldCase(text), foldCase(pattern).text), expected);
    }

    void helperRequests()
    {
        const PdfTextRequest request{QStringLiteral("pässwörd"), 9};
        const QByteArray bytes = encodeTextRequest(request);
        QVERIFY(decodeTextRequest(bytes));
        QVERIFY(!decodeTextRequest(bytes.chopped(1)));
        QVERIFY(!decodeTextRequest(bytes + "x"));
        QVERIFY(!decodeTextRequest(QByteArray("VKPX") + bytes.mid(4)));
        QVERIFY(!decodeTextRequest(encodeTextRequest({{}, -1})));
    }

    // Records come out whole from pieces of any size; a stream out of step is refused.
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

    // Pages are numbered from the page tree's counts where they allow it; an
    // empty node counted beside a fuller one must not shift or lose a page.
    void entriesLeadToTheirPagesInANestedPageTree()
    {
        const QByteArray page = "<< /Type /Page /MediaBox [0 0 600 800] /Parent ";
        const QList<QByteArray> objects = {
            "<< /Type /Catalog /Pages 2 0 R /Outlines 7 0 R >>",
            "<< /Type /Pages /Kids [3 0 R 6 0 R] /Count 3 >>",
            "<< /Type /Pages /Parent 2 0 R /Kids [4 0 R 5 0 R] /Count 2 >>",
            "<< /Type /Pages /Parent 3 0 R /Kids [] /Count 0 >>",
            "<< /Type /Pages /Parent 3 0 R /Kids [11 0 R 12 0 R] /Count 2 >>",
            page + "2 0 R >>",
            "<< /Type /Outlines /First 8 0 R /Last 10 0 R /Count 3 >>",
            "<< /Title (First) /Parent 7 0 R /Next 9 0 R /Dest [11 0 R /XYZ 0 700 0] >>",
            "<< /Title (Second) /Parent 7 0 R /Prev 8 0 R /Next 10 0 R /Dest [12 0 R /Fit] >>",
            "<< /Title (Third) /Parent 7 0 R /Prev 9 0 R /Dest [6 0 R /FitH 200] >>",
            page + "5 0 R >>",
            page + "5 0 R >>",
        };
        const QList<PdfOutlineEntry> entries = readOutline(PdfFixtures::pdfOfObjects(objects), QString(), QString());
        const QList<std::pair<int, QPointF>> expected{{0, {0, 100}}, {1, {}}, {2, {0, 600}}};
        QCOMPARE(entries.size(), expected.size());
        for (int i = 0; i < entries.size(); ++i)
            QCOMPARE(std::pair(entries.at(i).page, entries.at(i).point), expected.at(i));
    }
};

QTEST_GUILESS_MAIN(TestPdfUnits)
#include "tst_pdfunits.moc"
