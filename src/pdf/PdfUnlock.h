#pragma once

#include <QString>

class QIODevice;
class QPdfDocument;

namespace vk {

// QtPdf's load() forgets a password set before it, so a locked document is
// opened again by closing it, setting the password, then loading once more.
// The device is read from its start.
void reopenWithPassword(QPdfDocument &pdf, const QString &password, QIODevice *device);
void reopenWithPassword(QPdfDocument &pdf, const QString &password, const QString &filePath);

} // namespace vk
