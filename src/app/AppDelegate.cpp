#include "AppDelegate.h"

#include "PanelView.h"
#include "UrlSession.h"
#include "UserDefaults.h"
#include "velkarn.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <cstdlib>

namespace {
// Long enough for any answer already on its way; the process is ending anyway.
constexpr int kTeardownWaitMs = 5000;
}

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent),
      exitfunction([](int status) { std::_Exit(status); })
{
}

AppDelegate::~AppDelegate()
{
    // The completion handlers hold this controller: none may run after it is gone.
    std::shared_ptr<UrlTask> status;
    {
        std::lock_guard lock(requestlock);
        status = statustask;
    }
    const std::shared_ptr<UrlTask> tasks[] = {servertask, usertask, booktask, status, downloadtask};
    for (const auto &task : tasks) {
        if (task) {
            task->cancel();
            task->waitForCompletion(kTeardownWaitMs);
        }
    }
}

void AppDelegate::setExitFunction(ExitFunction exitFunction)
{
    exitfunction = std::move(exitFunction);
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
