#pragma once

#include "StagedBookFile.h"

#include <QString>

#include <memory>

namespace vk {

// Book files are kept under an unguessable name, which is also the token of
// their download path.

// 128 random bits as 32 lower-case hex digits.
QString newBookToken();

// Copies a PDF into the store as "<token>.pdf", encrypting the copy when a
// password is given and the source is not encrypted. Checks first that the
// file is a PDF that opens (with the password when it is already encrypted),
// and afterwards that the stored copy opens with the same password and holds
// every page. The file is in place when this returns; it is removed again when
// the handle goes without keep(), so a row that cannot be written leaves no
// file. Throws CommandError, leaving nothing behind.
std::unique_ptr<StagedBookFile> storeBookFile(const QString &storeDir, const QString &token,
                                              const QString &source, const QString &password);

void removeStoredBookFile(const QString &storeDir, const QString &fileName);

} // namespace vk
