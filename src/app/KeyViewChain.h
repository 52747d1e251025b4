#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

namespace vk {

// An explicit "next key view" per widget: Tab in a widget of the chain moves the
// focus to its next view, Shift+Tab to the view that last named it as next view.
// Qt's own tab order is one ring per window and cannot hold two fields that lead
// to each other.
class KeyViewChain : public QObject
{
    Q_OBJECT
public:
    explicit KeyViewChain(QObject *parent = nullptr);

    void setNextKeyView(QWidget *from, QWidget *to);
    QWidget *nextKeyView(QWidget *from) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

    QWidget *previousKeyView(QWidget *of) const;

private:
    QHash<QWidget *, QPointer<QWidget>> m_next;
    QHash<QWidget *, QPointer<QWidget>> m_previous;
};

} // namespace vk
