#pragma once

#include <QSize>

namespace vk {

// The smallest content area the layout was drawn for, and the widest one worth
// having: beyond it a page at a readable zoom leaves only empty margins.
inline constexpr QSize kMinimumContentSize(900, 680);
inline constexpr int kMaximumContentWidth = 1600;

// Room the window takes around its content area: the title bar and frame a
// window manager adds (not known before the window is shown, so a generous
// allowance) and the menu bar of menuBarHeight.
QSize windowDecoration(int menuBarHeight);

// The content area for a screen whose free area (without its panels) is
// available, in logical pixels: as large as fits with decoration around it,
// no narrower or lower than kMinimumContentSize, no wider than
// kMaximumContentWidth.
QSize contentSizeFor(const QSize &available, const QSize &decoration);

} // namespace vk
