#pragma once

#include "AppDelegate.h"
#include "CapturingTlsServer.h"
#include "CustomNSWindow.h"
#include "PortalProcess.h"

#include <memory>

class TestCertificates;

constexpr int kWaitMs = 20000;
inline const QByteArray kServerPath = "/adminportal/pdfserverchk.php";
inline const QByteArray kUserPath = "/adminportal/pdfuserchk.php";
inline const QByteArray kBookPath = "/adminportal/pdfbookchk.php";
inline const QByteArray kStatusPath = "/adminportal/pdfloginupdate.php";

// Certificates for the whole process; the first call sets VELKARN_PORTAL_CA,
// which the URL session reads only once.
const TestCertificates &testCertificates();
// A recording portal, from now on the viewer's: any address with password "pw"
// signs in for Acme, Sales, and no books are listed. Null when it cannot listen.
std::unique_ptr<CapturingTlsServer> startCapturingPortal();
// Serves portal and makes it the viewer's.
bool startRealPortal(PortalProcess &portal);
void usePortalPort(quint16 port); // the viewer's portal from now on
// A user check answer that signs in any address with password "pw".
QByteArray loginAnswer(const QString &company = QStringLiteral("Acme"));
// What reached path, one "METHOD body" per request.
QList<QByteArray> bodiesTo(const CapturingTlsServer &server, const QByteArray &path);
// A book answer with one record per {location, password, name}; the name is
// "Book" when left out, and the password "none" means none.
QByteArray bookAnswer(const QList<QStringList> &books);
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

private:
    int exitCalls = 0;
    int exitStatus = -1;
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<CustomNSWindow> mainWindow;
};
