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
    const QByteArray size = QByteArray::number(objects.size() + 1);
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray xref = "xref\n0 " + size + "\n0000000000 65535 f \n";
    for (int i = 0; i < objects.size(); ++i) {
        xref += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const QByteArray start = QByteArray::number(pdf.size());
    return pdf + xref + "trailer\n<< /Size " + size + " /Root 1 0 R >>\nstartxref\n" + start + "\n%%EOF\n";
}

QTreeWidgetItem *findEntry(QTreeWidget *tree, const QString &title)
{
    return tree->findItems(title, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

void sendWheel(QWidget *target, QPoint pos, int angle, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

// Knowing where one is in a book and getting elsewhere: page buttons and keys
// and the page label, going to a page, the contents, back and forward, and zoom.
class ReadingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CapturingTlsServer> m_server;
    std::unique_ptr<LaunchedViewer> m_viewer;

    AppDelegate &app() { return m_viewer->app(); }
    PdfView *view() { return app().pdfView(); }
    QScrollBar *bar() { return view()->verticalScrollBar(); }
    QString url(const QString &name) const { return QUrl::fromLocalFile(m_dir.filePath(name)).toString(); }

    bool reopen(int index)
    {
        app().openbookm();
        return m_viewer->openBook(index);
    }
    QString label() { return app().pagel()->text(); }
    int page() { return view()->currentPageIndex(); }
    // Keys of the menus and the toolbar, pressed while the pages have the focus.
    void press(const QKeySequence &keys) { QTest::keySequence(&m_viewer->window(), keys); }
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
        m_viewer->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_viewer->window()));
        view()->setFocus();
    }

    void cleanup()
    {
        m_viewer.reset();
        m_server.reset();
    }

    // Buttons and keys go a page at a time and stop at the ends. The label names
    // the page at the top of the view; a row in the gap between pages belongs to
    // the page below.
    void pagesAndTheirLabel()
    {
        QList<int> pages;
        for (QPushButton *button : {app().prev(), app().next(), app().last(), app().next(), app().first()}) {
            button->click();
            pages << page();
        }
        for (const Qt::Key key : {Qt::Key_End, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_PageDown}) {
            press(key);
            pages << page();
        }
        QCOMPARE(pages, (QList<int>{0, 1, 5, 5, 0, 5, 4, 0, 1}));
        QCOMPARE(label(), QStringLiteral("Page 2 of 6"));
        const int pitch = kPageHeight + 8;
        const QList<QPair<int, QString>> rows{{8 + 2 * pitch + 100, "Page 3 of 6"},
                                              {8 + pitch - 4, "Page 2 of 6"},
                                              {0, "Page 1 of 6"}};
        for (const auto &[row, text] : rows) {
            bar()->setValue(row);
            QCOMPARE(label(), text);
        }
        press(QKeySequence::Find);
        QCOMPARE(QApplication::focusWidget(), app().searchtv());
    }

    // Every level of the outline is there, and an entry shows its page, at its
    // line when it names one. A page number past the end asks again, saying why,
    // and the view stays. Back and forward (by their keys) retrace the jumps of
    // the contents, the page dialog and the search; another book starts a new
    // history. A book without outline says so; an encrypted book's is read with
    // its password, which the open panel asks for when the book arrives.
    void contentsJumpsAndBack()
    {
        press(Qt::Key_F9);
        ContentsPanel *panel = app().contents();
        QVERIFY(panel->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(panel->hasOutline(), kWaitMs);
        QCOMPARE(panel->tree()->topLevelItemCount(), 2);
        QStringList path;
        for (QTreeWidgetItem *item = findEntry(panel->tree(), "Section 1.1"); item; item = item->parent())
            path.prepend(item->text(0));
        QCOMPARE(path, (QStringList{"Part One", "Chapter 1", "Section 1.1"}));
        choose("Section 1.1");
        QCOMPARE(page(), 2);
        QVERIFY(qAbs(view()->placeAt().point.y() - (kPageHeight - 500)) <= 2);
        choose("Part Two");
        QCOMPARE(page(), 3);

        press(Qt::CTRL | Qt::Key_G);
        QInputDialog *dialog = app().pageDialog();
        QVERIFY(dialog && dialog->isVisible());
        dialog->setTextValue("7");
        dialog->accept();
        QCOMPARE(page(), 3);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->labelText().contains(QStringLiteral("pages 1 to 6")));
        dialog->setTextValue("2");
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(page(), 1);
        QVERIFY(m_viewer->search("NEEDLE"));
        QList<int> pages;
        for (const char step : QByteArray("<<<<<>>")) {
            press(Qt::ALT | (step == '<' ? Qt::Key_Left : Qt::Key_Right));
            pages << page();
        }
        QCOMPARE(pages, (QList<int>{1, 3, 2, 0, 0, 2, 3}));
        QVERIFY(reopen(0));
        app().goBack();
        QCOMPARE(page(), 0);

        app().toggleContents();
        QVERIFY(panel->isHidden());
        QVERIFY(reopen(1));
        QCOMPARE(label(), QStringLiteral("Page 1 of 2"));
        app().toggleContents();
        QTRY_COMPARE_WITH_TIMEOUT(panel->notice(), QStringLiteral("This book has no contents"), kWaitMs);
        QVERIFY(reopen(2));
        QTRY_VERIFY_WITH_TIMEOUT(panel->hasOutline(), kWaitMs);
        QVERIFY(findEntry(panel->tree(), "Section 1.1"));
    }

    // A match just below the view, on a page already in sight, is scrolled to
    // only when its outline arrives; Back still returns from it.
    void backFromALateSearchScroll()
    {
        app().zoomcombo()->setCurrentIndex(6);
        const int pageTop = 8 + 4 * (4 * kPageHeight + 8);
        bar()->setValue(pageTop - view()->viewport()->height() + 50);
        const int start = bar()->value();
        QVERIFY(m_viewer->search("needle"));
        QTRY_VERIFY_WITH_TIMEOUT(bar()->value() > start, kWaitMs);
        app().goBack();
        QVERIFY(qAbs(bar()->value() - start) <= 1);
    }

    // Ctrl and the wheel step the zoom choices as the keys do, keeping the spot
    // under the mouse; at either end they change nothing; a plain wheel scrolls.
    void zoomByWheelAndKeys()
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

        const PdfPlace top = view()->placeAt(mouse);
        const int row = bar()->value();
        sendWheel(port, mouse, 120, Qt::ControlModifier);
        QCOMPARE(app().zoomcombo()->currentIndex(), 6);
        QCOMPARE(bar()->value(), row);
        QCOMPARE(view()->placeAt(mouse), top);
        sendWheel(port, mouse, -120, Qt::NoModifier);
        QCOMPARE(view()->scaleFactor(), 4.0);
        QVERIFY(bar()->value() > row);

        app().zoomcombo()->setCurrentIndex(0);
        press(QKeySequence::ZoomOut);
        QCOMPARE(app().zoomcombo()->currentIndex(), 0);
        press(QKeySequence::ZoomIn);
        QCOMPARE(view()->scaleFactor(), 0.75);
    }
};

QTEST_MAIN(ReadingTest)
#include "tst_reading.moc"
