#include "AppDelegate.h"

#include "PdfTextHelpers.h"
#include "PortalRequests.h"

#include <QThread>

#include <cstdio>

using namespace vk;

namespace {
// Long enough for the portal to take the "N"; without it the portal keeps the
// user signed in and refuses the next sign-in as already logged on.
constexpr int kStatusWaitMs = 2000;
constexpr int kIdleWaitMs = 100;
// Killed helpers end within milliseconds; this only bounds a stuck one.
constexpr int kHelperWaitMs = 500;
}

void AppDelegate::login()
{
    logonPressed();
}

void AppDelegate::exitappnow()
{
    endProgram();
}

void AppDelegate::windowWillClose()
{
    endProgram();
}

void AppDelegate::endProgram()
{
    invalidate(checkusertimer);
    invalidate(checkbooktimer);
    invalidate(checkservertimer);
    // The process ends without destructors, and a helper holding the
    // decrypted book would read on for seconds. First, so that they are gone
    // even while the portal is slow to take the "N".
    PdfTextHelpers::killAllRunning(kHelperWaitMs);

    bool sent = false;
    if (monline.load(std::memory_order_relaxed) != 0) {
        pdfstatusupdate(QStringLiteral("N"));
        sent = m_portal->waitForStatusUpdate(kStatusWaitMs);
    }
    if (!sent)
        QThread::msleep(kIdleWaitMs);

    std::fflush(stderr);
    m_exitFunction(0);
}
