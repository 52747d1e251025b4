#include "KeyViewChain.h"

#include <QKeyEvent>
#include <QWidget>

namespace vk {

KeyViewChain::KeyViewChain(QObject *parent)
    : QObject(parent)
{
}

void KeyViewChain::setNextKeyView(QWidget *from, QWidget *to)
{
    m_next.insert(from, to);
    m_previous.insert(to, from);
    from->installEventFilter(this);
    to->installEventFilter(this);
}

QWidget *KeyViewChain::nextKeyView(QWidget *from) const
{
    return m_next.value(from);
}

QWidget *KeyViewChain::previousKeyView(QWidget *of) const
{
    return m_previous.value(of);
}

bool KeyViewChain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    QWidget *target = nullptr;
    if (key->key() == Qt::Key_Tab)
        target = nextKeyView(widget);
    else if (key->key() == Qt::Key_Backtab)
        target = previousKeyView(widget);
    if (!target)
        return false;
    target->setFocus(Qt::TabFocusReason);
    return true;
}

} // namespace vk
