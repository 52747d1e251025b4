#pragma once

#include <QString>

// Book files are kept under an unguessable name, which is also the token of
// their download path.

// 128 random bits as 32 lower-case hex digits.
QString newBookToken();

// Copies a PDF into the store as "<token>.pdf", encrypting the copy when a
// password is given and the source is not encrypted. Checks first that the
// file is a PDF that opens (with the password when it is already encrypted).
// Returns the stored file name; throws CommandError, leaving nothing behind.
QString storeBookFile(const QString &storeDir, const QString &token, const QString &source,
                      const QString &password);

void removeStoredBookFile(const QString &storeDir, const QString &fileName);
