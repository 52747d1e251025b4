#include "PdfHelperBook.h"

#include "PdfBookFile.h"
#include "PdfUnlock.h"

namespace vk {

int PdfHelperBook::open(int argc, char **argv)
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly) || !output.open(stdout, QIODevice::WriteOnly))
        return 1;
    const std::optional<PdfTextRequest> decoded = decodeTextRequest(input.readAll());
    const std::optional<int> bookFile = optionDescriptor(argc, argv, kBookOption);
    if (!decoded || !bookFile || *bookFile < 0)
        return 1;
    request = *decoded;
    const QByteArray bytes = mapBookFile(*bookFile);
    if (bytes.isNull())
        return 1;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    pdf.load(&buffer);
    if (pdf.status() != QPdfDocument::Status::Ready && !request.password.isEmpty())
        reopenWithPassword(pdf, request.password, &buffer);
    return pdf.status() == QPdfDocument::Status::Ready ? 0 : 2;
}

} // namespace vk
