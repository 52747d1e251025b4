#pragma once

// Besides its own helpers, the harness brings the window's controls and the
// document model, which every window suite reaches into.
#include "AppDelegate.h"
#include "CapturingTlsServer.h"
#include "CustomNSWindow.h"
#include "PanelView.h"
#include "PdfDocument.h"
#include "PdfView.h"
#include "PortalProcess.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

constexpr int kWaitMs = 20000;
inline const QByteArray kServerPath = "/adminportal/pdfserverchk.php";
inline const QByteArray kUserPath = "/adminportal/pdfuserchk.php";
inline const QByteArray kBookPath = "/adminportal/pdfbookchk.php";
inline const QByteArray kStatusPath = "/adminportal/pdfloginupdate.php";

// A recording portal, from now on the viewer's: any address with password "pw"
// signs in for Acme, Sales, and no books are listed. Null when it cannot listen.
std::unique_ptr<CapturingTlsServer> startCapturingPortal();
bool startRealPortal(PortalProcess &portal); // serves portal and makes it the viewer's
QByteArray loginAnswer(const QString &company = QStringLiteral("Acme")); // signs in anyone with "pw"
// What reached path, one "METHOD body" per request.
QList<QByteArray> bodiesTo(const CapturingTlsServer &server, const QByteArray &path);
// A book answer with one record per {location, password, name}; the name is
// "Book" when left out, and the password "none" means none.
QByteArray bookAnswer(const QList<QStringList> &books);

// The viewer as main() starts it, with the process exit replaced by a counter
// unless it is to end the process for real.
class LaunchedViewer
{
public:
    explicit LaunchedViewer(bool realExit = false);
    ~LaunchedViewer();
    AppDelegate &app() { return *m_delegate; }
    CustomNSWindow &window() { return *m_window; }
    // Waits for the login panel, fills both fields and presses "Login".
    bool submitLogin(const QString &email, const QString &password);
    bool signIn(const QString &email, const QString &password); // and waits for the book list
    bool waitForIdle(); // until no portal request is outstanding
    // Picks a listed book, presses "Open Book" and waits until it is fetched and read.
    bool openBook(int index);
    // Types pattern, presses the search button and waits for the counter's final word.
    bool search(const QString &pattern);
    bool exitedOnceWithZero() const { return m_exitCalls == 1 && m_exitStatus == 0; }

private:
    int m_exitCalls = 0;
    int m_exitStatus = -1;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<CustomNSWindow> m_window;
};
