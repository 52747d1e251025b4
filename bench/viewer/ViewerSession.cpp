#include "ViewerSession.h"

#include "AppDelegate.h"
#include "ContentsPanel.h"
#include "CustomNSWindow.h"
#include "MainInterface.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "WaitUntil.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>

using namespace vk;

namespace {

constexpr int kPortalWaitMs = 30000;
constexpr int kOpenWaitMs = 120000;
constexpr int kSearchWaitMs = 600000;
constexpr int kPageWaitMs = 30000;
constexpr int kSettleMs = 200;

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

ViewerSession::ViewerSession()
    : delegate(std::make_unique<AppDelegate>())
{
    delegate->setExitFunction([this](int status) { m_error = QStringLiteral("the viewer exited (%1)").arg(status); });
    window = makeMainInterface(delegate.get());
    delegate->applicationWillFinishLaunching();
    delegate->applicationDidFinishLaunching();
    window->show();
}

ViewerSession::~ViewerSession()
{
    // The controller's teardown waits for the transfers that still hold it.
    window->setDelegate(nullptr);
    window.reset();
    delegate.reset();
}

bool ViewerSession::failed(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

bool ViewerSession::signIn(const QString &email, const QString &password)
{
    AppDelegate &app = *delegate;
    if (!waitUntil([&] { return app.view3()->isVisible() && app.logonb()->isEnabled(); }, kPortalWaitMs))
        return failed(QStringLiteral("no login panel: is the portal up and its CA trusted?"));
    app.usertf()->setText(email);
    app.passtf()->setText(password);
    app.logonb()->click();
    if (!waitUntil([&] { return app.bookview()->isVisible() && !app.isBookTimerLive(); }, kPortalWaitMs))
        return failed(QStringLiteral("no book list after signing in as %1").arg(email));
    return true;
}

std::optional<ViewerSession::Opened> ViewerSession::openBook(const QString &name)
{
    AppDelegate &app = *delegate;
    if (!app.bookview()->isVisible())
        app.openbookm();
    const int index = app.bookcombo()->findText(name);
    if (index < 0) {
        failed(QStringLiteral("\"%1\" is not in the book list").arg(name));
        return std::nullopt;
    }
    app.bookcombo()->setCurrentIndex(index);

    QSignalSpy painted(app.pdfView(), &PdfView::pagePainted);
    Opened opened;
    QElapsedTimer t;
    t.start();
    app.bookbutton()->click();
    opened.clickMs = msSince(t);
    if (!waitUntil([&] { return app.document() != nullptr; }, kOpenWaitMs)) {
        failed(QStringLiteral("\"%1\" did not arrive").arg(name));
        return std::nullopt;
    }
    opened.documentMs = msSince(t);
    if (app.document()->state() != PdfDocument::State::Ready) {
        failed(QStringLiteral("\"%1\" arrived but does not open").arg(name));
        return std::nullopt;
    }
    if (!waitUntil([&] { return painted.count() > 0; }, kOpenWaitMs)) {
        failed(QStringLiteral("no page of \"%1\" was painted").arg(name));
        return std::nullopt;
    }
    opened.firstPaintMs = msSince(t);
    opened.pageCount = app.document()->pageCount();
    return opened;
}

std::optional<ViewerSession::Found> ViewerSession::search(const QString &pattern)
{
    AppDelegate &app = *delegate;
    const PdfView *view = app.pdfView();
    // The first match counts as shown once its page is painted with the match's
    // outline known, which the paint needs to draw it.
    bool matchPainted = false;
    const QMetaObject::Connection watch =
        QObject::connect(view, &PdfView::pagePainted, view, [&matchPainted, &app, view](int page) {
            const std::optional<PdfSelection> match = view->currentSelection();
            if (match && match->page == page && app.searchResults() && app.searchResults()->contains(*match)
                && view->document()->cachedSelectionBounds(*match))
                matchPainted = true;
        });
    const auto unwatch = qScopeGuard([&watch] { QObject::disconnect(watch); });
    app.searchtv()->setText(pattern);
    QElapsedTimer t;
    t.start();
    QTest::keyClick(app.searchtv(), Qt::Key_Return);
    Found found;
    // Until the whole book is searched the label says "Searching" or "n of m+".
    const auto complete = [&] {
        const QString label = app.matchl()->text();
        return !label.startsWith(QLatin1String("Searching")) && !label.endsWith(u'+');
    };
    if (!waitUntil([&] { return matchPainted || complete(); }, kSearchWaitMs)) {
        failed(QStringLiteral("the search for \"%1\" showed nothing").arg(pattern));
        return std::nullopt;
    }
    found.firstMatchMs = msSince(t);
    if (!waitUntil(complete, kSearchWaitMs)) {
        failed(QStringLiteral("the search for \"%1\" did not finish").arg(pattern));
        return std::nullopt;
    }
    found.ms = msSince(t);
    found.matches = app.searchResults() ? int(app.searchResults()->size()) : 0;
    return found;
}

bool ViewerSession::openContents()
{
    m_contentsClock.start();
    if (!delegate->contents()->isHidden())
        return true;
    for (QAction *menu : window->menuBar()->actions()) {
        for (QAction *item : menu->menu() ? menu->menu()->actions() : QList<QAction *>()) {
            if (item->text() == QLatin1String("Contents")) {
                item->trigger();
                return true;
            }
        }
    }
    return failed(QStringLiteral("no Contents item in the menus"));
}

std::optional<ViewerSession::Found> ViewerSession::contentsShown()
{
    ContentsPanel *panel = delegate->contents();
    // Shown once the outline or the word that there is none has come, not while it is read.
    const auto answered = [panel] {
        return panel->hasOutline() || panel->notice() == QLatin1String("This book has no contents");
    };
    if (!waitUntil([&] { return panel->isVisible() && answered(); }, kOpenWaitMs)) {
        failed(QStringLiteral("the contents never showed"));
        return std::nullopt;
    }
    Found shown;
    shown.ms = msSince(m_contentsClock);
    shown.matches = panel->tree()->topLevelItemCount();
    return shown;
}

bool ViewerSession::waitForMatchInView()
{
    const PdfView *view = delegate->pdfView();
    const std::optional<PdfSelection> match = view->currentSelection();
    const std::shared_ptr<PdfDocument> document = view->document();
    if (!match || !document)
        return true;
    if (!waitUntil([&] { return document->cachedSelectionBounds(*match).has_value(); }, kPageWaitMs))
        return failed(QStringLiteral("the bounds of the first match never arrived"));
    // The view scrolls to the match when the news of its bounds reaches it, a
    // queued call after the bounds are cached.
    waitUntil([] { return false; }, kSettleMs);
    return true;
}

std::optional<double> ViewerSession::pageThrough()
{
    AppDelegate &app = *delegate;
    PdfView *view = app.pdfView();
    // A scroll to a match still pending would carry the view off mid-way.
    if (!waitForMatchInView())
        return std::nullopt;
    app.zoomcombo()->setCurrentIndex(app.zoomcombo()->findText(QStringLiteral("1.0")));
    if (view->scaleFactor() != 1.0) {
        failed(QStringLiteral("the zoom does not go to 1.0"));
        return std::nullopt;
    }
    // Near the end the scroll range clamps and a page may already be on screen
    // when its turn comes, so any paint of it since the start counts.
    QSet<int> painted;
    const QMetaObject::Connection seen = QObject::connect(view, &PdfView::pagePainted,
                                                          [&painted](int page) { painted.insert(page); });
    QElapsedTimer t;
    t.start();
    app.firstPressed();
    view->viewport()->update();
    const int pages = app.document()->pageCount();
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            app.nextPressed();
        if (!waitUntil([&] { return painted.contains(page); }, kPageWaitMs)) {
            QObject::disconnect(seen);
            failed(QStringLiteral("page %1 was never painted").arg(page + 1));
            return std::nullopt;
        }
    }
    QObject::disconnect(seen);
    return msSince(t);
}

void ViewerSession::exitForReal()
{
    delegate->setExitFunction([](int status) { std::_Exit(status); });
    delegate->submenu()->actions().last()->trigger();
    std::abort(); // the exit returned: never so in the program
}
