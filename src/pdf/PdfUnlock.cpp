#include "PdfUnlock.h"

#include <QIODevice>
#include <QPdfDocument>

namespace vk {

void reopenWithPassword(QPdfDocument &pdf, const QString &password, QIODevice *device)
{
    pdf.close();
    pdf.setPassword(password);
    device->seek(0);
    pdf.load(device);
}

void reopenWithPassword(QPdfDocument &pdf, const QString &password, const QString &filePath)
{
    pdf.close();
    pdf.setPassword(password);
    pdf.load(filePath);
}

} // namespace vk
