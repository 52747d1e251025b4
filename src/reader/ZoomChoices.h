#pragma once

#include <QString>
#include <QStringList>

namespace vk {

// The zoom choices of the toolbar, smallest first, as the entries show them.
QStringList zoomChoices();

// The entry selected at start-up: "1.0".
inline constexpr int kDefaultZoomIndex = 2;

// Reads a leading float the way C's atof does (spaces, sign, digits, fraction,
// exponent), so a zoom entry such as "1.5" or "2.0x" gives its number; text
// that starts with anything else gives 0.
float leadingFloatValue(const QString &text);

// The entry step entries away from current, kept inside 0 .. count - 1.
// With no current entry (-1) a step starts from the default entry.
int steppedZoomIndex(int current, int step, int count);

} // namespace vk
