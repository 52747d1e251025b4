#include "AppDelegate.h"

#include "PdfView.h"
#include "PanelView.h"
#include "UrlSession.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
constexpr int kMessageHideMs = 2000;
const QString kTitle = QStringLiteral("Velkarn PDF Viewer");
}

void AppDelegate::startWaitingTimer(QTimer *&timer, int intervalMs, void (AppDelegate::*handler)())
{
    invalidate(timer);
    timer = new QTimer(this);
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, handler);
    timer->start();
}

void AppDelegate::invalidate(QTimer *&timer)
{
    if (!timer)
        return;
    timer->stop();
    // The timer may be the one whose tick is running right now.
    timer->deleteLater();
    timer = nullptr;
}

bool AppDelegate::isAnswered(const std::shared_ptr<UrlTask> &task) const
{
    return asyncloopnowentered.load(std::memory_order_acquire) == 0 && task && task->isCompleted();
}

bool AppDelegate::isBookCheckOutstanding() const
{
    return booktask && !booktask->isCompleted();
}

void AppDelegate::showMessage(const QString &message)
{
    _tooltip1->setText(message);
    _tooltip1->setHidden(false);
    QTimer::singleShot(kMessageHideMs, this, &AppDelegate::timer1);
}

void AppDelegate::checkservert()
{
    if (!isAnswered(servertask))
        return;
    invalidate(checkservertimer);
    if (sonline != 1) {
        _window->setWindowTitle(kTitle + QStringLiteral(" - Server Down"));
        return;
    }
    if (_winAMenuItem)
        _winAMenuItem->setEnabled(true);
    logonPressed();
}

void AppDelegate::logonPressed()
{
    _view3->setHidden(false);
    if (_winAMenuItem)
        _winAMenuItem->setEnabled(false);
    _usertf->setFocus(Qt::OtherFocusReason);
}

void AppDelegate::logonPressed2()
{
    // Return in the password field still arrives while a check is outstanding.
    if (checkusertimer)
        return;
    if (!_usertf->text().isEmpty() && !_passtf->text().isEmpty()) {
        _logonb->setEnabled(false);
        user_global = _usertf->text();
        password_global = _passtf->text();
        checkuser();
        startWaitingTimer(checkusertimer, 200, &AppDelegate::checkusert);
        return;
    }
    if (_usertf->text().isEmpty())
        showMessage(QStringLiteral("Please enter User"));
    else
        showMessage(QStringLiteral("Please enter Password"));
}

void AppDelegate::checkusert()
{
    if (!isAnswered(usertask))
        return;
    invalidate(checkusertimer);
    if (monline.load(std::memory_order_relaxed) == 0) {
        _window->setWindowTitle(kTitle + QStringLiteral(" - Failed Login"));
        _logonb->setEnabled(true);
        showMessage(useronline == QLatin1String("Y") ? QStringLiteral("User Already Logged On")
                                                     : QStringLiteral("Login Failed, please re-enter"));
        return;
    }
    _view3->setHidden(true);
    if (_winAMenuItem2)
        _winAMenuItem2->setEnabled(true);
    if (_winAMenuItem3)
        _winAMenuItem3->setEnabled(true);
    _bookview->setHidden(false);
    _bookbutton->setEnabled(true);
    _window->setWindowTitle(kTitle + QStringLiteral(" - ") + company_global);
    checkbooks();
    startWaitingTimer(checkbooktimer, 500, &AppDelegate::checkbookt);
}

void AppDelegate::checkbookt()
{
    if (!isAnswered(booktask))
        return;
    invalidate(checkbooktimer);
    _bookcombo->clear();
    for (qint32 i = 0; i < bookmax; ++i)
        _bookcombo->addItem(bookname.at(i));
    _bookcombo->setCurrentIndex(bookmax >= 1 ? 0 : -1);
}

void AppDelegate::timer1()
{
    _tooltip1->setHidden(true);
}

void AppDelegate::logout()
{
    _bookview->setHidden(true);
    if (_winAMenuItem)
        _winAMenuItem->setEnabled(true);
    if (_winAMenuItem2)
        _winAMenuItem2->setEnabled(false);
    if (_winAMenuItem3)
        _winAMenuItem3->setEnabled(false);
    _logonb->setEnabled(true);
    openbookempty();
    _pdfView->setScaleFactor(0.8);
    pdfstatusupdate(QStringLiteral("N"));
}
