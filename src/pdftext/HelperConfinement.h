#pragma once

#include <sys/resource.h>
#include <sys/types.h>

namespace vk {

// What keeps a text helper from outliving the viewer or taking the machine's
// memory: the helper holds a decrypted book, and PDFium's caches grow with it.

// Two helpers side by side stay under 3 GiB. No real book needs this much to
// have its text read; a book built to exhaust PDFium hits it, and the viewer
// then reads what that helper missed itself.
inline constexpr rlim_t kAddressSpaceLimit = rlim_t(1536) * 1024 * 1024;

// The process id given after kParentPidOption; 0 when none is given.
pid_t parentPidArgument(int argc, char **argv);

// Asks the kernel to kill this process as soon as its parent ends. False when
// the parent has ended already: the process that started this one was
// expectedParent (0: not known), and an orphan's parent is somebody else.
bool dieWithParent(pid_t expectedParent);

// Caps this process's address space at bytes, or at the hard limit when that
// is lower already.
bool limitAddressSpace(rlim_t bytes);

} // namespace vk
