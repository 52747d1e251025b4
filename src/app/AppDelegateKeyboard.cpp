#include "AppDelegate.h"

#include "PanelView.h"

#include <QKeySequence>
#include <QLineEdit>
#include <QShortcut>

using namespace vk;

void AppDelegate::installKeyboardShortcuts()
{
    // Tied to the toolbar, so they act only while a book is being read.
    const auto bind = [this](const QKeySequence &keys, auto handler) {
        auto *shortcut = new QShortcut(keys, _view2);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, handler);
    };
    bind(QKeySequence(Qt::Key_PageUp), &AppDelegate::prevPressed);
    bind(QKeySequence(Qt::Key_PageDown), &AppDelegate::nextPressed);
    bind(QKeySequence(Qt::Key_Home), &AppDelegate::firstPressed);
    bind(QKeySequence(Qt::Key_End), &AppDelegate::lastPressed);
    bind(QKeySequence::Find, [this] {
        _searchtv->setFocus(Qt::ShortcutFocusReason);
        _searchtv->selectAll();
    });
    bind(QKeySequence::ZoomIn, [this] { stepZoom(1); });
    bind(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { stepZoom(1); });
    bind(QKeySequence::ZoomOut, [this] { stepZoom(-1); });
}
