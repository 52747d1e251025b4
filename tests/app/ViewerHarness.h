#pragma once

#include "AppDelegate.h"
#include "CapturingTlsServer.h"
#include "CustomNSWindow.h"
#include "PortalProcess.h"

#include <memory>

class TestCertificates;

// Throw-away certificates for the whole test process; the first call points
// VELKARN_PORTAL_CA at their CA before the URL session reads it.
const TestCertificates &testCertificates();

// A recording portal the viewer talks to from now on. It accepts any address
// with the password "pw" for Acme, Sales, and lists no books; null when it
// cannot listen.
std::unique_ptr<CapturingTlsServer> startCapturingPortal();

// Serves portal with the test certificate and points the viewer at it.
bool startRealPortal(PortalProcess &portal);
// A user of category Sales; the company is made when it is not there yet.
bool addReader(PortalProcess &portal, const QString &email, const QString &password, const QString &company,
               bool active = true);

// The viewer as main() starts it, with the process exit replaced by a counter.
class LaunchedViewer
{
public:
    LaunchedViewer();
    ~LaunchedViewer();
    AppDelegate &app() { return *delegate; }
    CustomNSWindow &window() { return *mainWindow; }
    // Waits for the login panel, fills both fields and presses "Login".
    bool submitLogin(const QString &email, const QString &password);
    bool signIn(const QString &email, const QString &password); // and waits for the book list
    bool waitForIdle(); // until no portal request is outstanding

    int exitCalls = 0;
    int exitStatus = -1;

private:
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<CustomNSWindow> mainWindow;
};
