#pragma once

#include <QString>

namespace vk {

// Where the kernel value with a BSD-style name ("kern.hostname") lives under
// /proc/sys; empty for names that cannot be a value there.
QString procSysPathOf(const QString &name);

// The value of the kernel name from uname() for the few names it answers
// ("kern.hostname", "kern.ostype", "kern.osrelease", "kern.version",
// "hw.machine"); null for any other name.
QString unameValueOf(const QString &name);

// The file under /sys/class/dmi/id that holds the platform registry property
// key; empty for unknown keys.
QString dmiFileOf(const QString &key);

// A value file's text without its trailing line end; null when unreadable.
QString readValueFile(const QString &path);

} // namespace vk
