#pragma once

#include <QString>

// Writes a book of pageCount pages of dense text (some 2,500 characters a
// page, every page's words different) to path, made with the tests' PDF
// fixture maker. False when it cannot be written.
bool writeTextHeavyBook(const QString &path, int pageCount);
