#include "PdfHelperBook.h"

#include "PdfUnlock.h"

namespace vk {

int PdfHelperBook::open()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly) || !output.open(stdout, QIODevice::WriteOnly))
        return 1;
    const std::optional<PdfTextRequest> decoded = decodeTextRequest(input.readAll());
    if (!decoded)
        return 1;
    request = *decoded;
    buffer.setData(request.pdf);
    buffer.open(QIODevice::ReadOnly);
    pdf.load(&buffer);
    if (pdf.status() != QPdfDocument::Status::Ready && !request.password.isEmpty())
        reopenWithPassword(pdf, request.password, &buffer);
    return pdf.status() == QPdfDocument::Status::Ready ? 0 : 2;
}

} // namespace vk
