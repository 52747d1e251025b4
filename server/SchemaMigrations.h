#pragma once

#include "SqlEngine.h"

#include <QSqlDatabase>
#include <QString>

namespace vk {

// A library records the number of the last schema step applied to it. `init`
// brings any library up to the steps this program knows; everything else
// works only on a library at exactly that number, so two portal versions
// never share a library they read differently.

int knownSchemaVersion();

// Applies the missing steps in one transaction. Returns an error text, empty
// on success; a library newer than this program is refused untouched.
QString applyMigrations(QSqlDatabase db, const SqlEngine &engine, const QString &shownName);

// Empty when the library is at the known version, else one line saying what
// to run.
QString checkSchema(QSqlDatabase db, const QString &shownName);

} // namespace vk
