#include "WindowSize.h"

#include <algorithm>

namespace vk {

namespace {
// A title bar of the common desktops at scale 1 is 30 to 38 pixels, and their
// frames a few pixels on each side.
constexpr int kTitleBarAllowance = 40;
constexpr int kFrameAllowance = 4;
}

QSize windowDecoration(int menuBarHeight)
{
    return QSize(2 * kFrameAllowance,
                 kTitleBarAllowance + kFrameAllowance + std::max(0, menuBarHeight));
}

QSize contentSizeFor(const QSize &available, const QSize &decoration)
{
    const int width = std::clamp(available.width() - decoration.width(),
                                 kMinimumContentSize.width(), kMaximumContentWidth);
    const int height = std::max(available.height() - decoration.height(),
                                kMinimumContentSize.height());
    return QSize(width, height);
}

} // namespace vk
