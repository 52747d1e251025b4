#pragma once

#include <QString>

namespace vk {

// The most characters of a portal text that the window shows in one place.
// Longer texts are cut and end in an ellipsis; the session keeps them whole.
// A window title of megabytes is refused by the display server, and a combo
// box entry of megabytes costs hundreds of megabytes at every repaint.
constexpr qsizetype kMaxShownChars = 256;

// text itself when it fits, else its first characters and "…", kMaxShownChars
// in all, never ending in half a surrogate pair.
QString shownText(const QString &text);

} // namespace vk
