#pragma once

#include "AppDelegate.h"
#include "CapturingTlsServer.h"
#include "CustomNSWindow.h"
#include "PortalProcess.h"

#include <memory>

class TestCertificates;

// Certificates for the whole process; the first call sets VELKARN_PORTAL_CA,
// which the URL session reads only once.
const TestCertificates &testCertificates();
// A recording portal, from now on the viewer's: any address with password "pw"
// signs in for Acme, Sales, and no books are listed. Null when it cannot listen.
std::unique_ptr<CapturingTlsServer> startCapturingPortal();
bool startRealPortal(PortalProcess &portal);
// A Sales reader; the company is made when it is missing.
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
    bool exitedOnceWithZero() const { return exitCalls == 1 && exitStatus == 0; }

    int exitCalls = 0;
    int exitStatus = -1;

private:
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<CustomNSWindow> mainWindow;
};
