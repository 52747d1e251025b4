#pragma once

#include <QSqlDatabase>
#include <QString>

namespace vk {

// What an interrupted `book add` can leave in the store: a ".partial-" copy
// (killed while writing) or a book file without its row (killed between the
// rename and the commit). Nothing else ever removes them, so the admin
// commands and `serve` sweep them up when they start.

// Files younger than this are left alone even when nothing locks them: a
// store on a file system without working locks must not lose a running add.
constexpr qint64 kLeftoverMinimumAgeSeconds = 10 * 60;

// Removes leftovers older than the minimum age and not locked by a running
// add, keeping every file a row names and every file that is not a book
// file. Also keeps the store owner-only. Returns how many files it removed;
// removes nothing when the rows cannot be read.
int sweepBookStore(QSqlDatabase db, const QString &storeDir, qint64 nowMs);

// The same for `serve` at start, on a connection of its own, with one line on
// standard error when it removed anything.
void sweepBookStoreAtStart(const QString &databasePath, const QString &storeDir);

// One line on standard error when a sweep removed files.
void reportSweep(int removed, const QString &storeDir);

} // namespace vk
