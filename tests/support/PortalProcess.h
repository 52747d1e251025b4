#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

struct PortalCommand
{
    int exitCode = -1; // -1: it did not end by itself
    QByteArray output;
    QByteArray errors;
};

// A velkarn-portal with a library of its own in a temporary directory, made
// with "init" at construction and served on a port the system chooses.
class PortalProcess
{
public:
    PortalProcess() { admin({QStringLiteral("init")}); }
    ~PortalProcess() { stop(); }

    // Runs velkarn-portal with these arguments to its end.
    static PortalCommand run(const QStringList &args);
    // An admin command on this library ("--db" is added).
    PortalCommand admin(const QStringList &args) const
    {
        return run(args + QStringList{QStringLiteral("--db"), databasePath()});
    }
    QString databasePath() const { return _dir.filePath(QStringLiteral("library.db")); }

    // Serves this library on 127.0.0.1; false with errors() when it did not start.
    bool start(const QString &certificate, const QString &key, const QStringList &options = {});
    // Sends SIGTERM and waits; the exit code, -1 when it had to be killed.
    int stop();
    // The next line the server writes to standard output, trimmed; empty
    // when none comes.
    QString nextLine();
    QString url() const { return _url; }
    quint16 port() const { return quint16(QUrl(_url).port()); }
    QByteArray errors() { return _server.readAllStandardError(); } // since last asked

private:
    QTemporaryDir _dir;
    QProcess _server;
    QString _url;
};
