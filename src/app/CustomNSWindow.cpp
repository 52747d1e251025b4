#include "CustomNSWindow.h"

#include "Log.h"

#include <QCloseEvent>
#include <QMouseEvent>

using namespace vk;

CustomNSWindow::CustomNSWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setFocusPolicy(Qt::ClickFocus);
}

void CustomNSWindow::mousePressEvent(QMouseEvent *event)
{
    QPointF location = event->position();
    if (QWidget *content = centralWidget()) {
        const QPointF inContent = content->mapFrom(this, location);
        location = QPointF(inContent.x(), content->height() - inContent.y());
    }
    logLine(QString::asprintf("Clicked %f %f", location.x(), location.y()));
    _windowclick2 = _windowclick2 == 0 ? 1 : 0;
    event->accept();
}

void CustomNSWindow::closeEvent(QCloseEvent *event)
{
    if (m_delegate)
        m_delegate->windowWillClose();
    event->accept();
}
