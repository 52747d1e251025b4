#pragma once

#include <QString>

#include <optional>

namespace vk {

// "Page n of N" for the page index shown at the top of the view; empty when
// there are no pages, so nothing claims a position in a book that is not there.
QString pageLabelText(int pageIndex, int pageCount);

// The page index a reader means by text ("700", " 12 "): a whole number from 1
// to pageCount, given as typed. Anything else (0, too large, signs, letters,
// fractions) gives nothing, and the caller leaves the view where it is.
std::optional<int> pageIndexFromInput(const QString &text, int pageCount);

// What the message line says when pageIndexFromInput refused a number.
QString badPageNumberText(int pageCount);

} // namespace vk
