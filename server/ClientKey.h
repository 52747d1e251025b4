#pragma once

#include <QString>

namespace vk {

// The unit that limits are counted per. An IPv4 address stands for itself
// (also when it arrives IPv4-mapped on a dual-stack socket); an IPv6 address
// counts with its whole /64, since one host usually owns all of that and
// could otherwise step round every limit by changing addresses.
QString clientKey(const QString &address);

} // namespace vk
