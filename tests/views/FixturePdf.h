#pragma once

#include <QColor>
#include <QString>

// The fill colour of page `page` (from 0) of a fixture PDF: neighbours differ, so
// a rendered pixel tells which page it came from.
QColor fixturePageColor(int page);

// Writes a PDF of `pageCount` pages of 612 x 792 points, each filled with its
// fixture colour; false when the file cannot be written.
bool writeFixturePdf(const QString &path, int pageCount);
