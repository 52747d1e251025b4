#include "AppDelegate.h"

#include "PdfView.h"
#include "PanelView.h"
#include "PortalRequests.h"
#include "ShownText.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace vk;

namespace {
constexpr int kMessageHideMs = 2000;
// How long after a server check that got no answer the next one is sent.
constexpr int kServerRetryMs = 5000;
const QString kTitle = QStringLiteral("Velkarn PDF Viewer");
const QString kServerDown = QStringLiteral("Server Down");
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

void AppDelegate::showMessage(const QString &message)
{
    _tooltip1->setText(shownText(message));
    _tooltip1->setHidden(false);
    QTimer::singleShot(kMessageHideMs, this, &AppDelegate::timer1);
}

void AppDelegate::checkservert()
{
    if (!m_portal->isServerAnswered())
        return;
    invalidate(checkservertimer);
    if (sonline != 1) {
        _window->setWindowTitle(kTitle + QStringLiteral(" - ") + kServerDown);
        // A portal that answered anything but 1 is down for good; one that did
        // not answer at all may come back, so keep asking.
        m_serverRetrying = m_portal->serverUnanswered();
        if (m_serverRetrying)
            QTimer::singleShot(kServerRetryMs, this, &AppDelegate::retryServerCheck);
        return;
    }
    if (std::exchange(m_serverRetrying, false))
        _window->setWindowTitle(kTitle);
    if (_winAMenuItem)
        _winAMenuItem->setEnabled(true);
    logonPressed();
}

void AppDelegate::retryServerCheck()
{
    checkserver();
    startWaitingTimer(checkservertimer, 500, &AppDelegate::checkservert);
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
    if (!m_portal->isUserAnswered())
        return;
    invalidate(checkusertimer);
    if (m_portal->userUnanswered()) {
        // Nothing was decided: the fields of the last answer stay as they were.
        _window->setWindowTitle(kTitle + QStringLiteral(" - ") + kServerDown);
        _logonb->setEnabled(true);
        showMessage(kServerDown);
        return;
    }
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
    _window->setWindowTitle(kTitle + QStringLiteral(" - ") + shownText(company_global));
    checkbooks();
    startWaitingTimer(checkbooktimer, 500, &AppDelegate::checkbookt);
}

void AppDelegate::checkbookt()
{
    if (!m_portal->isBookAnswered())
        return;
    invalidate(checkbooktimer);
    _bookcombo->clear();
    for (qint32 i = 0; i < bookmax; ++i)
        _bookcombo->addItem(shownText(bookname.at(i)));
    _bookcombo->setCurrentIndex(bookmax >= 1 ? 0 : -1);
    if (m_portal->bookUnanswered())
        showMessage(kServerDown);
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
