#pragma once

#include <QByteArray>

namespace vk {

// A book's bytes in a memory file that the viewer fills once and its text
// helpers inherit and map. Through each helper's standard input they took
// 31-37 ms to arrive for source2e.pdf (5.8 MB), 64 KiB per turn of the
// viewer's event loop, while the helpers waited to start; mapped, they are
// there at once, and neither side copies them again.

// The viewer's side: a memory file holding pdf, closed on exec (a helper is
// given it by clearing that in the child), or -1 when the system has none.
int createBookFile(const QByteArray &pdf);

// The helper's side: the bytes of the memory file fd, mapped for the rest of
// the process's life; null when it cannot be mapped. Closes fd.
QByteArray mapBookFile(int fd);

} // namespace vk
