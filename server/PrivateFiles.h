#pragma once

#include <QString>

namespace vk {

// The library holds account and book passwords as given (the protocol sends
// them back), so its files are for their owner only, whatever the umask says.
// Files of an older library made with looser modes are tightened when opened.

// Creates the directory (and missing parents) and leaves it at mode 0700.
// Returns an error text, empty on success.
QString makePrivateDirectory(const QString &path);

// Creates the SQLite file empty at mode 0600 when it is missing, and brings it
// and the companions that exist (-wal, -shm, -journal) to 0600. SQLite gives
// the companions it creates later the mode of the database file.
void protectDatabaseFiles(const QString &path);

// Clears the group and other bits of an existing file or directory, where
// this user may; a file that is not ours stays as it is.
void keepPrivate(const QString &path);

} // namespace vk
