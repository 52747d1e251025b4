#pragma once

#include <QStringList>

namespace vk {

// Builds a complete demo in --dir: dir/portal.db (books in dir/portal.db.books),
// dir/ca.pem, dir/server.pem and dir/server.key, and prints how to use it
// (also kept in dir/demo.txt).
// Running it again rebuilds the library and keeps certificates that are
// still valid. Throws CommandError.
void runDemo(const QStringList &args);

} // namespace vk
