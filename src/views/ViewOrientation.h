#pragma once

class QWidget;

namespace vk {

// Qt widgets count y downward from their top edge, which the page-stack and drag
// rules call a flipped view. Every widget answers the same; the rules keep both
// orientations so that their arithmetic matches views that count y upward.
inline bool isFlipped(const QWidget *)
{
    return true;
}

} // namespace vk
