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

// A velkarn-portal with a library of its own, made with "init" at
// construction and served on a port the system chooses: a SQLite file in a
// temporary directory, or the PostgreSQL database given, with its book store
// in that directory unless another is given (several processes share one).
class PortalProcess
{
public:
    explicit PortalProcess(const QString &database = {}, const QString &store = {})
        : _database(database)
        , _store(store)
    {
        admin({QStringLiteral("init")});
    }
    ~PortalProcess() { stop(); }

    // Runs velkarn-portal with these arguments to its end.
    static PortalCommand run(const QStringList &args);
    // An admin command on this library ("--db" is added).
    PortalCommand admin(const QStringList &args) const
    {
        return run(args + QStringList{QStringLiteral("--db"), databasePath()} + storeOption(args.value(0)));
    }
    QString databasePath() const
    {
        return _database.isEmpty() ? _dir.filePath(QStringLiteral("library.db")) : _database;
    }
    QString storeDir() const
    {
        if (!_store.isEmpty())
            return _store;
        return _database.isEmpty() ? databasePath() + QStringLiteral(".books") : _dir.filePath(QStringLiteral("store"));
    }
    // What a command needs to find the store: nothing beside a SQLite file.
    QStringList storeOption(const QString &command = {}) const
    {
        if (_database.isEmpty() || command == QStringLiteral("init"))
            return {};
        return {QStringLiteral("--store"), storeDir()};
    }

    // Serves this library on 127.0.0.1; false with errors() when it did not start.
    bool start(const QString &certificate, const QString &key, const QStringList &options = {});
    // Sends SIGTERM and waits; the exit code, -1 when it had to be killed.
    int stop();
    // The next line the server writes to standard output, trimmed; empty
    // when none comes.
    QString nextLine();
    // Ends it at once, as a crash or a power cut would.
    void kill()
    {
        _server.kill();
        _server.waitForFinished();
    }
    QString url() const { return _url; }
    quint16 port() const { return quint16(QUrl(_url).port()); }
    QByteArray errors() { return _server.readAllStandardError(); } // since last asked

private:
    QString _database;
    QString _store;
    QTemporaryDir _dir;
    QProcess _server;
    QString _url;
};
