#include "PdfRenderQueue.h"
#include "PdfTextFold.h"

#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestPdfText)
#include "tst_pdftext.moc"
