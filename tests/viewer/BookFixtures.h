#pragma once

#include <QString>
#include <QStringList>

// Book files for the viewer tests, written into a directory the caller owns.
namespace BookFixtures {

// One page per text, each holding its text in a large font.
bool writeTextPdf(const QString &path, const QStringList &pages);

// A copy of source that opens only with password (AES-256).
bool encryptPdf(const QString &source, const QString &target, const QString &password);

// The pages of the searchable test book: "needle" three times (in three letter
// cases), "haystack" once.
QStringList searchablePages();

} // namespace BookFixtures
