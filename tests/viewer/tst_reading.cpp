#include "ContentsPanel.h"
#include "PdfDocument.h"
#include "PdfFixtures.h"
#include "PdfView.h"
#include "ViewerHarness.h"
#include "velkarn.h"

#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
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
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 8 0 R >> >>"
                   " /Contents " + QByteArray::number(10 + 2 * i) + " 0 R >>"
                << "<< /Length " + QByteArray::number(stream.size()) + " >>\nstream\n" + stream + "\nendstream";
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

// Every book opens with password "kilo52", which unencrypted ones ignore.
QByteArray bookAnswer(const QStringList &locations)
{
    velkarn v;
    QString text = QStringLiteral("*START*");
    for (const QString &location : locations)
        text += "01Book^^" + v.encodestr(location) + "^^" + v.encodestr("kilo52") + "^^abc.+.";
    return (text + "*END*").toUtf8();
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

    bool open(int index)
    {
        app().bookcombo()->setCurrentIndex(index);
        app().bookbutton()->click();
        return QTest::qWaitFor([&] { return !app().isDownloading() && view()->document(); }, kWaitMs);
    }
    QString label() { return app().pagel()->text(); }
    int page() { return view()->currentPageIndex(); }
    bool askFor(const QString &typed)
    {
        app().goToPageAsked();
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
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("plain.pdf"), PdfFixtures::makePdf(QStringList{"one", "two"})));
        QVERIFY(PdfFixtures::writeFile(m_dir.filePath("locked.pdf"),
                                       PdfFixtures::encryptPdf(outlinedPdf(), "kilo52")));
    }

    void init()
    {
        QVERIFY(m_server = startCapturingPortal());
        m_server->setAnswer("/adminportal/pdfbookchk.php", bookAnswer({url("outlined.pdf"), url("plain.pdf"), url("locked.pdf")}));
        m_viewer = std::make_unique<LaunchedViewer>();
        QVERIFY(m_viewer->signIn("reader@example.org", "pw"));
        QCOMPARE(label(), QString()); // no book yet
        QVERIFY(open(0));
        QCOMPARE(view()->scaleFactor(), 1.0);
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
        app().openbookm();
        QVERIFY(open(1));
        QCOMPARE(label(), QStringLiteral("Page 1 of 2"));
    }

    // A good number shows its page; a bad one asks again, saying why, and the
    // view stays where it was.
    void goToPage_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("page"); // -1: refused
        QTest::newRow("fourth") << "4" << 3;
        QTest::newRow("last") << "6" << 5;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("past the end") << "7" << -1;
        QTest::newRow("words") << "four" << -1;
    }
    void goToPage()
    {
        QFETCH(QString, typed);
        QFETCH(int, page);
        app().goToPageNumber("2");
        QVERIFY(askFor(typed));
        QInputDialog *dialog = app().pageDialog();
        if (page < 0) {
            QCOMPARE(this->page(), 1);
            QVERIFY(dialog->isVisible());
            QVERIFY(dialog->labelText().contains(QStringLiteral("pages 1 to 6")));
            dialog->reject();
        } else {
            QVERIFY(!dialog->isVisible());
            QCOMPARE(this->page(), page);
            QCOMPARE(label(), QStringLiteral("Page %1 of 6").arg(page + 1));
        }
    }

    // Every level of the outline is there; an entry shows its page, at its
    // line when it names one; a book without outline says so.
    void contents()
    {
        app().toggleContents();
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
        app().openbookm();
        QVERIFY(open(1));
        app().toggleContents();
        QTRY_COMPARE_WITH_TIMEOUT(panel->notice(), QStringLiteral("This book has no contents"), kWaitMs);
        QVERIFY(!panel->hasOutline());

        // An encrypted book's outline is read with the book's password; the
        // open panel asks for it when the book arrives.
        app().openbookm();
        QVERIFY(open(2));
        QTRY_VERIFY_WITH_TIMEOUT(panel->hasOutline(), kWaitMs);
        QVERIFY(findEntry(panel->tree(), "Section 1.1"));
    }

    // Back and forward retrace go-to-page, contents and search jumps; a new
    // jump drops the way forward; another book starts a new history.
    void backAndForward()
    {
        app().toggleContents();
        QTRY_VERIFY_WITH_TIMEOUT(app().contents()->hasOutline(), kWaitMs);
        app().goToPageNumber("4");
        choose("Chapter 1");
        app().searchtv()->setText("NEEDLE");
        app().searchf()->click();
        QTRY_COMPARE_WITH_TIMEOUT(app().matchl()->text(), QStringLiteral("1 of 1"), kWaitMs);
        QCOMPARE(page(), 4);

        QList<int> pages;
        for (int i = 0; i < 4; ++i) {
            app().goBack();
            pages << page();
        }
        for (int i = 0; i < 2; ++i) {
            app().goForward();
            pages << page();
        }
        QCOMPARE(pages, (QList<int>{1, 3, 0, 0, 3, 1}));
        app().goToPageNumber("6");
        app().goForward();
        QCOMPARE(page(), 5);
        app().goBack();
        QCOMPARE(page(), 1);

        app().openbookm();
        QVERIFY(open(0));
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
        app().searchtv()->setText("needle");
        app().searchf()->click();
        QTRY_VERIFY_WITH_TIMEOUT(bar->value() > start, kWaitMs);
        app().goBack();
        QVERIFY(qAbs(bar->value() - start) <= 1);
    }

    // The Go menu's keys reach its items from anywhere in the window.
    void goMenuKeys()
    {
        CustomNSWindow &window = m_viewer->window();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        view()->setFocus();
        QTest::keySequence(&window, QKeySequence(Qt::Key_F9));
        QVERIFY(app().contents()->isVisible());
        QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_G));
        QVERIFY(app().pageDialog() && app().pageDialog()->isVisible());
        app().pageDialog()->setTextValue("5");
        app().pageDialog()->accept();
        QCOMPARE(page(), 4);
        QTest::keySequence(&window, QKeySequence(Qt::ALT | Qt::Key_Left));
        QCOMPARE(page(), 0);
        QTest::keySequence(&window, QKeySequence(Qt::ALT | Qt::Key_Right));
        QCOMPARE(page(), 4);
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
