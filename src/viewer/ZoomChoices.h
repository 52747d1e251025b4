#pragma once

#include <QString>
#include <QStringList>

// The zoom choices of the toolbar, smallest first, as the entries show them.
QStringList zoomChoices();

// The entry selected at start-up: "1.0".
inline constexpr int kDefaultZoomIndex = 2;

// The number at the start of text read as a float: leading white space skipped,
// an optional sign, digits with an optional fraction and exponent; 0 when the
// text does not begin with a number.
float leadingFloatValue(const QString &text);

// The entry step entries away from current, kept inside 0 .. count - 1.
// With no current entry (-1) a step starts from the default entry.
int steppedZoomIndex(int current, int step, int count);
