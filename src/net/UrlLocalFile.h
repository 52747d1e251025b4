#pragma once

#include "UrlRequest.h"

#include <QString>

namespace vk {

// Reads a whole local file for a download, never waiting on it: the file is
// opened without blocking and refused unless it is a regular file, so a FIFO or
// a device cannot hold the reader up. Blocks only for the read itself.
UrlResponse readLocalFile(const QString &path, qint64 maxBytes);

} // namespace vk
