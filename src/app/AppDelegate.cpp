#include "AppDelegate.h"

#include "BookOpening.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "PortalSettings.h"
#include "PortalRequests.h"
#include "UrlSession.h"
#include "UserDefaults.h"
#include "velkarn.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <cstdlib>

using namespace vk;

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent),
      m_portal(std::make_unique<vk::PortalRequests>(asyncloopnowentered, _RequestURL, responsedata,
                                                    &vk::PortalSettings::baseUrl)),
      m_opening(std::make_unique<vk::BookOpening>(UrlSession::shared())),
      m_exitFunction([](int status) { std::_Exit(status); })
{
    UrlSession::setExtraCaCertificates(vk::PortalSettings::extraCaCertificates());
    connect(m_opening.get(), &vk::BookOpening::progress, this, [this](qint64 received, qint64 total) {
        _pdfView->setDownloadProgress(received, total);
    });
    connect(m_opening.get(), &vk::BookOpening::opened, this,
            [this](std::shared_ptr<PdfDocument> document) {
        pdfDoc = std::move(document);
        showDocument(pdfDoc);
    });
}

// Out of line: the members' types are complete only here.
AppDelegate::~AppDelegate() = default;

void AppDelegate::setExitFunction(ExitFunction exitFunction)
{
    m_exitFunction = std::move(exitFunction);
}

void AppDelegate::applicationWillFinishLaunching()
{
    UserDefaults::standard().setBool(QStringLiteral("NSFullScreenMenuItemEverywhere"), false);
}

void AppDelegate::applicationDidFinishLaunching()
{
    _window->setDelegate(this);
    _window->setWindowTitle(QStringLiteral("Velkarn PDF Viewer"));

    for (QAction *item : _window->menuBar()->actions()) {
        if (item->text() == QLatin1String("Action")) {
            _submenu = item->menu();
            break;
        }
    }
    if (_submenu) {
        const QList<QAction *> items = _submenu->actions();
        _winAMenuItem = items.value(0);
        _winAMenuItem2 = items.value(1);
        _winAMenuItem3 = items.value(2);
    }
    for (QAction *item : {_winAMenuItem, _winAMenuItem2, _winAMenuItem3}) {
        if (item)
            item->setEnabled(false);
    }

    velkarninst = std::make_unique<velkarn>();
    bookname = QStringList();
    bookloc = QStringList();
    bookpass = QStringList();
    _filename1 = QStringLiteral("https://samples.velkarn.example/tester/testpage3.pdf");
    _pass1 = QStringLiteral("kilo52");
    _RequestURL = UrlRequest();

    _window->layout()->setSizeConstraint(QLayout::SetFixedSize);

    const QWidget *content = _window->centralWidget();
    buildLayout(content->width(), content->height());

    _view1->setHidden(true);
    _view2->setHidden(true);
    _view3->setHidden(true);
    _bookview->setHidden(true);

    checkserver();
    startWaitingTimer(checkservertimer, 500, &AppDelegate::checkservert);
}

void AppDelegate::applicationWillTerminate()
{
}
