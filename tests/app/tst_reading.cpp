#include "ContentsPanel.h"
#include "PdfFixtures.h"
#include "ViewerHarness.h"

#include <QInputDialog>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace vk;

namespace {

constexpr int kPages = 6;
constexpr int kPageHeight = 792;

// Six US Letter pages, each saying which it is, "needle" on the fifth only,
// and a three-level outline: Part One > Chapter 1 > Section 1.1 (half-way down
// page 3), then Part Two at page 4.
QByteArray outlinedPdf()
{
    QList<QByteArray> objects;
    const auto pageRef = [](int page) { return QByteArray::number(9 + 2 * page) + " 0 R"; };
    QByteArray kids;
    for (int i = 0; i < kPages; ++i)
        kids += pageRef(i) + ' ';
    objects << "<< /Type /Catalog /Pages 2 0 R /Outlines 3 0 R >>"
            << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(kPages) + " >>"
            << "<< /Type /Outlines /First 4 0 R /Last 5 0 R /Count 2 >>"
            << "<< /Title (Part One) /Parent 3 0 R /Next 5 0 R /First 6 0 R /Last 6 0 R /Count 2 /Dest ["
                   + pageRef(0) + " /XYZ 0 792 0] >>"
            << "<< /Title (Part Two) /Parent 3 0 R /Prev 4 0 R /Dest [" + pageRef(3) + " /Fit] >>"
            << "<< /Title (Chapter 1) /Parent 4 0 R /First 7 0 R /Last 7 0 R /Count 1 /Dest ["
                   + pageRef(1) + " /XYZ 0 792 0] >>"
            << "<< /Title (Section 1.1) /Parent 6 0 R /Dest [" + pageRef(2) + " /XYZ 0 500 0] >>"
            << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    for (int i = 0; i < kPages; ++i) {
        const QByteArray text = "page " + QByteArray::number(i + 1) + (i == 4 ? " needle" : "");
        const QByteArray stream = "BT /F1 24 Tf 72 700 Td (" + text + ") Tj ET";
        const QByteArray contents = QByteArray::number(10 + 2 * i) + " 0 R";
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792]"
                   " /Resources << /Font << /F1 8 0 R >> >> /Contents " + contents + " >>"
                << "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream
                       + "\nendstream";
    }
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n"
           + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QTreeWidgetItem *findEntry(QTreeWidget *tree, const QString &title)
{
    const QList<QTreeWidgetItem *> found = tree->findItems(title, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void sendWheel(QWidget *target, QPoint pos, int angle, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

// Knowing where one is in a book and getting elsewhere: the page label, going
// to a page, the contents, back and forward, and zooming with the wheel.
class ReadingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CapturingTlsServer> m_server;
    std::unique_ptr<LaunchedViewer> m_viewer;

    AppDelegate &app() { return m_viewer->app(); }
    PdfView *view() { return app().pdfView(); }
    QString url(const QString &name) const { return QUrl::fromLocalFile(m_dir.filePath(name)).toString(); }

    bool reopen(int index)
    {
        app().openbookm();
        return m_viewer->openBook(index);
    }
    QString label() { return app().pagel()->text(); }
    int page() { return view()->currentPageIndex(); }
    // The Go menu's keys, pressed while the pages have the focus.
    void press(QKeyCombination keys) { QTest::keySequence(&m_viewer->window(), QKeySequence(keys)); }
    bool answerPageDialog(const QString &typed)
    {
        QInputDialog *dialog = app().pageDialog();
        if (!dialog || !dialog->isVisible())
            return false;
        dialog->setTextValue(typed);
        dialog->accept();
        return true;
    }
    void choose(const QString &title)
    {
        QTreeWidgetItem *item = findEntry(app().contents()->tree(), title);
        QVERIFY2(item, qPrintable(title));
        Q_EMIT app().contents()->tree()->itemActivated(item, 0);
    }

private slots:
    void initTestCase()
    {
        qputenv("VELKARN_ALLOW_INSECURE_BOOKS", "1");
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("outlined.pdf"), outlinedPdf()));
        const QByteArray plain = PdfFixtures::makePdf(QStringList{"one", "two"});
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("plain.pdf"), plain));
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("locked.pdf"),
                                       PdfFixtures::encryptPdf(outlinedPdf(), "kilo52")));
    }

    void init()
    {
        QVERIFY(m_server = startCapturingPortal());
        // Every book opens with "kilo52", which unencrypted ones ignore.
        QList<QStringList> books;
        for (const char *name : {"outlined.pdf", "plain.pdf", "locked.pdf"})
            books.append({url(name), "kilo52"});
        m_server->setAnswer(kBookPath, bookAnswer(books));
        m_viewer = std::make_unique<LaunchedViewer>();
        QVERIFY(m_viewer->signIn("reader@example.org", "pw"));
        QCOMPARE(label(), QString()); // no book yet
        QVERIFY(m_viewer->openBook(0));
        QCOMPARE(view()->scaleFactor(), 1.0);
        m_viewer->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_viewer->window()));
        view()->setFocus();
    }

    void cleanup()
    {
        m_viewer.reset();
        m_server.reset();
    }

    // The label names the page at the top of the view while scrolling; a row
    // in the gap between pages belongs to the page below.
    void pageLabelFollowsTheView()
    {
        QCOMPARE(label(), QStringLiteral("Page 1 of 6"));
        QScrollBar *bar = view()->verticalScrollBar();
        const int pitch = kPageHeight + 8;
        const QList<QPair<int, QString>> rows{{8 + 2 * pitch + 100, "Page 3 of 6"},
                                              {8 + pitch - 4, "Page 2 of 6"},
                                              {0, "Page 1 of 6"}};
        for (const auto &[row, text] : rows) {
            bar->setValue(row);
            QCOMPARE(label(), text);
        }
        app().last()->click();
        QCOMPARE(label(), QStringLiteral("Page 6 of 6"));
        app().first()->click();
        QCOMPARE(label(), QStringLiteral("Page 1 of 6"));
    }

    // A number past the end asks again, saying why, and the view stays where
    // it was; a good one shows its page.
    void goToPage()
    {
        app().goToPageNumber("2");
        press(Qt::CTRL | Qt::Key_G);
        QVERIFY(answerPageDialog("7"));
        QCOMPARE(page(), 1);
        QVERIFY(app().pageDialog()->isVisible());
        QVERIFY(app().pageDialog()->labelText().contains(QStringLiteral("pages 1 to 6")));
        QVERIFY(answerPageDialog("6"));
        QVERIFY(!app().pageDialog()->isVisible());
        QCOMPARE(page(), 5);
        QCOMPARE(label(), QStringLiteral("Page 6 of 6"));
    }

    // Every level of the outline is there; an entry shows its page, at its
    // line when it names one; a book without outline says so.
    void contents()
    {
        press(Qt::Key_F9);
        ContentsPanel *panel = app().contents();
        QVERIFY(panel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(panel->hasOutline(), kWaitMs);
        QTreeWidget *tree = panel->tree();
        QCOMPARE(tree->topLevelItemCount(), 2);
        QTreeWidgetItem *section = findEntry(tree, "Section 1.1");
        QVERIFY(section && section->parent() && section->parent()->parent());
        QCOMPARE(section->parent()->text(0), QStringLiteral("Chapter 1"));
        QCOMPARE(section->parent()->parent()->text(0), QStringLiteral("Part One"));

        choose("Section 1.1");
        QCOMPARE(page(), 2);
        QVERIFY(qAbs(view()->placeAt().point.y() - (kPageHeight - 500)) <= 2);
        choose("Part Two");
        QCOMPARE(page(), 3);
        QCOMPARE(label(), QStringLiteral("Page 4 of 6"));

        app().toggleContents();
        QVERIFY(panel->isHidden());
        QVERIFY(reopen(1));
        QCOMPARE(label(), QStringLiteral("Page 1 of 2"));
        app().toggleContents();
        QTRY_COMPARE_WITH_TIMEOUT(panel->notice(), QStringLiteral("This book has no contents"), kWaitMs);
        QVERIFY(!panel->hasOutline());

        // An encrypted book's outline is read with the book's password; the
        // open panel asks for it when the book arrives.
        QVERIFY(reopen(2));
        QTRY_VERIFY_WITH_TIMEOUT(panel->hasOutline(), kWaitMs);
        QVERIFY(findEntry(panel->tree(), "Section 1.1"));
    }

    // Back and forward (by their keys) retrace go-to-page, contents and search
    // jumps; another book starts a new history.
    void backAndForward()
    {
        app().toggleContents();
        QTRY_VERIFY_WITH_TIMEOUT(app().contents()->hasOutline(), kWaitMs);
        app().goToPageNumber("4");
        choose("Chapter 1");
        QVERIFY(m_viewer->search("NEEDLE"));
        QCOMPARE(page(), 4);

        QList<int> pages;
        const Qt::Key back = Qt::Key_Left;
        const Qt::Key forward = Qt::Key_Right;
        for (const Qt::Key arrow : {back, back, back, back, forward, forward}) {
            press(Qt::ALT | arrow);
            pages << page();
        }
        QCOMPARE(pages, (QList<int>{1, 3, 0, 0, 3, 1}));
        QVERIFY(reopen(0));
        app().goBack();
        QCOMPARE(page(), 0);
    }

    // A match just below the view, on a page already in sight, is scrolled to
    // only when its outline arrives; Back still returns from it.
    void backFromALateSearchScroll()
    {
        app().zoomcombo()->setCurrentIndex(6);
        const int pageTop = 8 + 4 * (4 * kPageHeight + 8);
        QScrollBar *bar = view()->verticalScrollBar();
        bar->setValue(pageTop - view()->viewport()->height() + 50);
        const int start = bar->value();
        QVERIFY(m_viewer->search("needle"));
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() > start, kWaitMs);
        app().goBack();
        QVERIFY(qAbs(bar->value() - start) <= 1);
    }

    // Ctrl and the wheel step the zoom choices as the keys do, keeping the
    // spot under the mouse; at either end they change nothing.
    void wheelZoom()
    {
        QWidget *port = view()->viewport();
        const QPoint mouse(port->width() / 3, port->height() / 2);
        app().goToPageNumber("3");
        // A page narrower than the view stays centred, so only its row is
        // kept; a page wider than the view keeps the very spot.
        const QList<QPair<int, bool>> steps{{2, false}, {5, true}};
        for (const auto &[from, wide] : steps) {
            app().zoomcombo()->setCurrentIndex(from);
            const PdfPlace spot = view()->placeAt(mouse);
            sendWheel(port, mouse, 120, Qt::ControlModifier);
            QCOMPARE(app().zoomcombo()->currentIndex(), from + 1);
            QCOMPARE(view()->scaleFactor(), app().zoomcombo()->currentText().toDouble());
            const PdfPlace after = view()->placeAt(mouse);
            QCOMPARE(after.page, spot.page);
            QVERIFY(qAbs(after.point.y() - spot.point.y()) <= 1.0);
            if (wide)
                QVERIFY(qAbs(after.point.x() - spot.point.x()) <= 1.0);
        }

        const QList<QPair<int, int>> ends{{6, 120}, {0, -120}};
        for (const auto &[index, angle] : ends) {
            app().zoomcombo()->setCurrentIndex(index);
            const PdfPlace before = view()->placeAt(mouse);
            const int row = view()->verticalScrollBar()->value();
            sendWheel(port, mouse, angle, Qt::ControlModifier);
            QCOMPARE(app().zoomcombo()->currentIndex(), index);
            QCOMPARE(view()->verticalScrollBar()->value(), row);
            QCOMPARE(view()->placeAt(mouse), before);
        }
        const double scale = view()->scaleFactor();
        const int row = view()->verticalScrollBar()->value();
        sendWheel(port, mouse, -120, Qt::NoModifier);
        QCOMPARE(view()->scaleFactor(), scale);
        QVERIFY(view()->verticalScrollBar()->value() > row); // plain wheel scrolls
    }
};

QTEST_MAIN(ReadingTest)
#include "tst_reading.moc"
