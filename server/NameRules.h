#pragma once

#include <QString>

namespace vk {

// Checks on what an admin stores. Each returns an empty string when the value
// is acceptable, else one line saying why it is not.

// Company, category, book name and address travel as plain text between "^^"
// separators, so "^" would move the viewer's cuts.
QString checkPlainName(const QString &what, const QString &value);

// The book check splits its body at the first "&categoryname=".
QString checkCompanyName(const QString &value);

QString checkAddress(const QString &value);

// Scrambled fields carry only the low 8 bits of each character, and the viewer
// refuses to send an empty password, so account passwords are non-empty
// printable ASCII.
QString checkAccountPassword(const QString &value);

// As account passwords, and never "none": the viewer reads that as "no
// password" and the book would not open.
QString checkBookPassword(const QString &value);

// External book locations: an absolute http or https URL in ASCII.
QString checkBookUrl(const QString &value);

} // namespace vk
