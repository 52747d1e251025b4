#include "MainInterface.h"

#include "AppDelegate.h"
#include "CustomNSWindow.h"
#include "WindowSize.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWidget>

namespace vk {

std::unique_ptr<CustomNSWindow> makeMainInterface(AppDelegate *delegate)
{
    auto window = std::make_unique<CustomNSWindow>();
    QMenu *action = window->menuBar()->addMenu(QStringLiteral("Action"));
    QObject::connect(action->addAction(QStringLiteral("Login")), &QAction::triggered,
                     delegate, &AppDelegate::login);
    QObject::connect(action->addAction(QStringLiteral("Logout")), &QAction::triggered,
                     delegate, &AppDelegate::logout);
    QObject::connect(action->addAction(QStringLiteral("Book List")), &QAction::triggered,
                     delegate, &AppDelegate::openbookm);
    action->addSeparator();
    QAction *exit = action->addAction(QStringLiteral("Exit"));
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    QObject::connect(exit, &QAction::triggered, delegate, &AppDelegate::exitappnow);

    QMenu *go = window->menuBar()->addMenu(QStringLiteral("Go"));
    const auto addGo = [&](const QString &title, const QKeySequence &keys, void (AppDelegate::*handler)()) {
        QAction *item = go->addAction(title);
        item->setShortcut(keys);
        QObject::connect(item, &QAction::triggered, delegate, handler);
    };
    addGo(QStringLiteral("Go to Page..."), QKeySequence(Qt::CTRL | Qt::Key_G), &AppDelegate::goToPageAsked);
    addGo(QStringLiteral("Contents"), QKeySequence(Qt::Key_F9), &AppDelegate::toggleContents);
    go->addSeparator();
    addGo(QStringLiteral("Back"), QKeySequence(Qt::ALT | Qt::Key_Left), &AppDelegate::goBack);
    addGo(QStringLiteral("Forward"), QKeySequence(Qt::ALT | Qt::Key_Right), &AppDelegate::goForward);

    // Sized once, before the layout reads it: the window is made
    // non-resizable at start-up, so the frames computed from it stay valid.
    auto *content = new QWidget(window.get());
    const QSize decoration = windowDecoration(window->menuBar()->sizeHint().height());
    content->setFixedSize(contentSizeFor(window->screen()->availableGeometry().size(), decoration));
    window->setCentralWidget(content);

    delegate->setWindow(window.get());
    return window;
}

} // namespace vk
