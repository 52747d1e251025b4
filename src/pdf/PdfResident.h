#pragma once

#include <QtGlobal>

namespace vk {

// The process's resident memory in bytes, -1 when unknown. Cheap enough to read
// after every render, unlike malloc's statistics, which walk every free block
// under the allocator's locks (76% of the viewer's time, and a stall of the
// window at every page, while paging through source3.pdf).
qint64 residentBytes();

} // namespace vk
