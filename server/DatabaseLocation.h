#pragma once

#include <QString>

namespace vk {

// Where a library lives, as given to --db: a SQLite file path, or a
// postgresql://user@host:port/dbname URL for a library that several portal
// processes share. A password never travels in the URL (it would show in
// `ps` and in shell histories); libpq takes it from PGPASSWORD or ~/.pgpass.

enum class Engine { Sqlite, Postgres };

struct DatabaseLocation
{
    Engine engine = Engine::Sqlite;
    QString path; // SQLite: the file
    // PostgreSQL: empty host or user leave the choice to libpq's defaults.
    QString host;
    int port = -1;
    QString user;
    QString name;
    QString options; // further libpq settings from the URL's query, "k=v;k=v"
};

// Throws CommandError when the text looks like a URL but is not one we take.
DatabaseLocation parseDatabaseLocation(const QString &text);

// The location for messages: the URL or the path as given, never a password.
QString describeLocation(const DatabaseLocation &location);

} // namespace vk
