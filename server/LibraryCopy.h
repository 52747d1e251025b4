#pragma once

#include "SqlEngine.h"

#include <QSqlDatabase>
#include <QString>

namespace vk {

struct CopiedRows
{
    qint64 companies = 0;
    qint64 users = 0;
    qint64 books = 0;
};

// Copies every company, user (with its online flag) and book (with its token
// and store file name) from one library into an empty one, possibly on the
// other engine, in one transaction on the target: it ends up with all of it
// or none. Ids are the target's own; what the portal answers is the same.
// Throws CommandError, leaving the target as it was.
enum class CopyInto { EmptyOnly, Replacing };
CopiedRows copyLibrary(QSqlDatabase from, QSqlDatabase to, const SqlEngine &toEngine,
                       CopyInto mode = CopyInto::EmptyOnly);

} // namespace vk
