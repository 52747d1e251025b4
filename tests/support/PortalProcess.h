#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>

struct PortalCommand
{
    int exitCode = -1; // -1: it did not end by itself
    QByteArray output;
    QByteArray errors;
};

// A velkarn-portal with a library of its own, made by "init": a SQLite file in a
// temporary directory or the PostgreSQL database given, its book store in that
// directory unless several processes share another; served on a free port.
class PortalProcess
{
public:
    // What the command's process does before it runs the portal.
    using ChildSetup = std::function<void()>;

    explicit PortalProcess(const QString &database = {}, const QString &store = {})
        : m_database(database)
        , m_store(store)
    {
        admin({"init"});
    }
    ~PortalProcess() { stop(); }

    // Runs velkarn-portal with these arguments to its end.
    static PortalCommand run(const QStringList &args, const ChildSetup &setup = {});
    // An admin command on this library ("--db" is added).
    PortalCommand admin(const QStringList &args, const ChildSetup &setup = {}) const
    {
        return run(args + QStringList{"--db", databasePath()} + storeOption(args.value(0)), setup);
    }
    QString databasePath() const { return m_database.isEmpty() ? m_dir.filePath("library.db") : m_database; }
    QString storeDir() const
    {
        if (!m_store.isEmpty())
            return m_store;
        return m_database.isEmpty() ? databasePath() + ".books" : m_dir.filePath("store");
    }
    // What a command needs to find the store: nothing beside a SQLite file.
    QStringList storeOption(const QString &command = {}) const
    {
        if (m_database.isEmpty() || command == "init")
            return {};
        return {"--store", storeDir()};
    }

    // Serves this library on 127.0.0.1; false with errors() when it did not start.
    bool start(const QString &certificate, const QString &key, const QStringList &options = {});
    // Sends SIGTERM and waits; the exit code, -1 when it had to be killed.
    int stop();
    // The next line the server writes to standard output, trimmed; empty when none comes.
    QString nextLine();
    // Ends it at once, as a crash or a power cut would.
    void kill()
    {
        m_server.kill();
        m_server.waitForFinished();
    }
    QString url() const { return m_url; }
    quint16 port() const { return quint16(QUrl(m_url).port()); }
    QByteArray errors() { return m_server.readAllStandardError(); } // since last asked

private:
    QString m_database;
    QString m_store;
    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_url;
};
