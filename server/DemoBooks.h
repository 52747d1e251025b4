#pragma once

#include <QString>

namespace vk {

// Writes a PDF of `pages` pages with real, searchable text: a heading naming
// the book and the page, and paragraphs holding the word "velkarn" and a
// page marker ("marker-0042" on page 42) that occurs on that page only.
// Needs a QGuiApplication. Returns an error text, empty on success.
QString writeDemoPdf(const QString &path, const QString &title, int pages);

} // namespace vk
