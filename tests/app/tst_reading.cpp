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

// Six US Letter pages, each saying which it is, "needle" on the fifth only and
// "haystack" on the second, and a three-level outline: Part One > Chapter 1 >
// Section 1.1 (half-way down page 3), then Part Two at page 4.
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
        const QByteArray words = i == 4 ? " needle" : i == 1 ? " haystack" : "";
        const QByteArray text = "page " + QByteArray::number(i + 1) + words;
        const QByteArray stream = "BT /F1 24 Tf 72 700 Td (" + text + ") Tj ET";
        const QByteArray contents = QByteArray::number(10 + 2 * i) + " 0 R";
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792]"
                   " /Resources << /Font << /F1 8 0 R >> >> /Contents " + contents + " >>"
                << "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream
                       + "\nendstream";
    }
    return PdfFixtures::pdfOfObjects(objects);
}

QTreeWidgetItem *findEntry(QTreeWidget *tree, const QString &title)
{
    return tree->findItems(title, Qt::MatchExactly | Qt::MatchRecursive).value(0);
}

QString enabled(AppDelegate &app) // "<" and ">" as "10"
{
    return QString(app.searchp()->isEnabled() ? u'1' : u'0') + (app.searchn()->isEnabled() ? u'1' : u'0');
}

void sendWheel(QWidget *target, QPoint pos, int angle, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

} // namespace

// A reader's books, each opened from a list of local files (read only in tests),
// and getting about in them: page buttons and keys and the page label, going to
// a page, the contents, back and forward, search and zoom.
class ReadingTest : public QObject
{
    Q_OBJECT

    // The portal's list: location, password and, once opened, the placeholder
    // shown instead of pages and the document's state (-1: none).
    using Listed = std::tuple<QString, QString, QString, int>;

    QTemporaryDir m_dir;
    QList<Listed> m_listed;
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
        // "needle" in three letter cases, the last page also "haystack".
        const QStringList pages{"Alpha needle one", "Beta NEEDLE two", "Gamma Needle three haystack"};
        const QByteArray plain = PdfFixtures::makePdf(pages, QPageSize(QPageSize::A5), 24);
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("outlined.pdf"), outlinedPdf()));
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("plain.pdf"), plain));
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("locked.pdf"),
                                       PdfFixtures::encryptPdf(outlinedPdf(), "kilo52")));
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("notes.pdf"), "notes, not a PDF\n"));
        QVERIFY(m_server = startCapturingPortal());
        m_server->setAnswer("/books/missing.pdf", "<html>404 Not Found</html>", 404);
        const int ready = int(PdfDocument::State::Ready);
        const int unreadable = int(PdfDocument::State::Unreadable);
        const QString failed = QStringLiteral("This book could not be opened");
        // "kilo52" opens the encrypted book and is ignored by the others.
        m_listed = {{url("outlined.pdf"), "kilo52", "", ready},
                    {url("plain.pdf"), "kilo52", "", ready},
                    {url("locked.pdf"), "kilo52", "", ready},
                    {url("locked.pdf"), "none", "This book is locked", int(PdfDocument::State::Locked)},
                    {url("notes.pdf"), "none", failed, unreadable},
                    {m_server->baseUrl() + "/books/missing.pdf", "none", failed, unreadable},
                    {"http://[::1", "none", "No book open", -1},
                    {"", "none", "No book open", -1}}; // last: an empty field ends the answer's list
        QList<QStringList> books;
        for (const auto &[location, password, placeholder, state] : m_listed)
            books.append({location, password});
        m_server->setAnswer(kBookPath, bookAnswer(books));
    }

    void init()
    {
        m_viewer = std::make_unique<LaunchedViewer>();
        QVERIFY(m_viewer->signIn("reader@example.org", "pw"));
        QCOMPARE(label(), QString()); // no book yet
        QVERIFY(m_viewer->openBook(0));
        m_viewer->window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m_viewer->window()));
        view()->setFocus();
    }

    void cleanup() { m_viewer.reset(); }

    // Each listed book in turn, after Book List.
    void openEachBook()
    {
        for (int i = 0; i < m_listed.size(); ++i) {
            const auto &[location, password, placeholder, state] = m_listed.at(i);
            QVERIFY(reopen(i));
            QCOMPARE(app().filename1(), location);
            QCOMPARE(app().pass1(), password == "none" ? QString() : password);
            QVERIFY(app().bookview()->isHidden() && app().view1()->isVisible());
            QVERIFY(!app().bookbutton()->isEnabled());
            const std::shared_ptr<PdfDocument> document = app().document();
            QCOMPARE(view()->document(), document);
            QCOMPARE(view()->placeholderText(), placeholder);
            QCOMPARE(document ? int(document->state()) : -1, state);
        }
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

    // Back and forward (by their keys) retrace the jumps of the contents, the page
    // dialog and the search; another book starts anew. An encrypted book's outline
    // is read with its password, which the open panel asks for when it arrives.
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
        QCOMPARE(label(), QStringLiteral("Page 1 of 3"));
        app().toggleContents();
        QTRY_COMPARE_WITH_TIMEOUT(panel->notice(), QStringLiteral("This book has no contents"), kWaitMs);
        QVERIFY(reopen(2));
        QTRY_VERIFY_WITH_TIMEOUT(panel->hasOutline(), kWaitMs);
        QVERIFY(findEntry(panel->tree(), "Section 1.1"));

        // A match just below the view, on a page already in sight, is scrolled to
        // only when its outline arrives; Back still returns from it.
        app().zoomcombo()->setCurrentIndex(6);
        const int pageTop = 8 + 4 * (4 * kPageHeight + 8);
        bar()->setValue(pageTop - view()->viewport()->height() + 50);
        const int start = bar()->value();
        QVERIFY(m_viewer->search("needle"));
        QTRY_VERIFY_WITH_TIMEOUT(bar()->value() > start, kWaitMs);
        app().goBack();
        QVERIFY(qAbs(bar()->value() - start) <= 1);
    }

    void searchAnotherBookAndLogout()
    {
        AppDelegate &app = this->app();
        QVERIFY(reopen(1));
        app.searchtv()->setText("nEEDLE"); // on the pages as "needle", "NEEDLE" and "Needle"
        QTest::keyClick(app.searchtv(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(app.matchl()->text(), QStringLiteral("1 of 3"), kWaitMs);
        const QList<PdfSelection> found = app.searchResults().value();
        QCOMPARE(found.size(), 3);
        QCOMPARE(app.pdfView()->currentSelection(), found.first());
        QCOMPARE(app.pdfView()->highlightedSelections(), found);
        QCOMPARE(enabled(app), QStringLiteral("11"));

        // The worked sequence: no wrap-around, the button past an end is disabled.
        QList<int> selected;
        QStringList states;
        for (char press : QByteArray(">>><<<>")) {
            (press == '>' ? app.searchn() : app.searchp())->click();
            selected.append(found.indexOf(*app.pdfView()->currentSelection()));
            states.append(enabled(app));
        }
        QCOMPARE(selected, (QList<int>{1, 2, 2, 1, 0, 0, 1}));
        QCOMPARE(states, (QStringList{"11", "11", "10", "11", "11", "01", "11"}));
        QCOMPARE(app.matchl()->text(), QStringLiteral("2 of 3"));

        // A failed search keeps the earlier selection and highlights.
        QVERIFY(m_viewer->search("zebra"));
        QCOMPARE(enabled(app), QStringLiteral("00"));
        QCOMPARE(app.pdfView()->currentSelection(), found.at(1));
        QCOMPARE(app.pdfView()->highlightedSelections(), found);
        QCOMPARE(app.matchl()->text(), QStringLiteral("No matches"));

        // One match: nothing to step to.
        QVERIFY(m_viewer->search("haystack"));
        app.searchn()->click();
        QCOMPARE(enabled(app), QStringLiteral("10"));

        // Back to the list and into another book: zoom and the last search stay.
        app.zoomcombo()->setCurrentIndex(4);
        const std::shared_ptr<PdfDocument> first = app.document();
        app.winAMenuItem3()->trigger();
        QVERIFY(app.view1()->isHidden() && app.bookview()->isVisible() && app.bookbutton()->isEnabled());
        QVERIFY(m_viewer->openBook(2));
        QVERIFY(app.document() != first && app.document()->state() == PdfDocument::State::Ready);
        QCOMPARE(app.pdfView()->scaleFactor(), 1.5);
        QCOMPARE(app.searchResults()->size(), 1);

        // Signing out while reading puts a blank page in the book's place, fitted to the width.
        app.logout();
        QVERIFY(app.view1()->isVisible() && app.view2()->isVisible());
        QCOMPARE(app.document()->pageCount(), 1);
        QCOMPARE(app.pdfView()->document(), app.document());
        QVERIFY(app.pdfView()->autoScales());
        QCOMPARE(app.pdfView()->scaleFactor(), 0.8);
        QCOMPARE(app.zoomcombo()->currentText(), QStringLiteral("1.50"));
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
