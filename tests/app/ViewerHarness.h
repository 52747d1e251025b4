#pragma once

#include "AppDelegate.h"
#include "CustomNSWindow.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class TestCertificates;

// Throw-away certificates for the whole test process. The first call also points
// VELKARN_PORTAL_CA at their CA, before the URL session reads it.
const TestCertificates &testCertificates();

// Points the viewer at a portal on 127.0.0.1.
void usePortalPort(quint16 port);

// The viewer as main() starts it, with the process exit replaced by a counter.
class LaunchedViewer
{
public:
    LaunchedViewer();
    ~LaunchedViewer();

    AppDelegate &app() { return *delegate; }
    CustomNSWindow &window() { return *mainWindow; }

    // Waits for the login panel, types both fields and presses "Login".
    bool submitLogin(const QString &email, const QString &password);
    // submitLogin, then waits until the book list is in.
    bool signIn(const QString &email, const QString &password);

    int exitCalls = 0;
    int exitStatus = -1;

private:
    std::unique_ptr<AppDelegate> delegate;
    std::unique_ptr<CustomNSWindow> mainWindow;
};

// A velkarn-portal with its own library in a temporary directory, serving on a
// port of its choosing with the test certificate.
class PortalProcess
{
public:
    PortalProcess();
    ~PortalProcess();

    // Runs an admin command against this portal's library; true on exit status 0.
    bool admin(const QStringList &arguments);
    bool addUser(const QString &email, const QString &password, const QString &company,
                 const QString &category, bool active = true);
    // A book stored in the portal from a local PDF; an empty password stores it open.
    bool addBook(const QString &company, const QString &category, const QString &name,
                 const QString &file, const QString &password);
    bool start();
    quint16 port() const { return _port; }
    QString errorText() const { return _error; }

private:
    QTemporaryDir dir;
    QString db;
    QProcess server;
    quint16 _port = 0;
    QString _error;
};
