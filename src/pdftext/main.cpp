// velkarn-pdf-text: reads the text of a share of a book's pages
// for the viewer, which starts a few of these side by side when a large book
// opens, so that its first search does not wait on one thread of PDFium.
// Request on standard input, one record per page on standard output (see
// PdfTextProtocol.h). Exit status 0 when every page asked for was written;
// 4 when the viewer that started it is gone, 5 when it cannot cap its memory.

#include "HelperConfinement.h"
#include "PdfHelperBook.h"

#include <QCoreApplication>
#include <QPdfDocument>
#include <QPdfSelection>

#include <limits>

using namespace vk;

namespace {

// QtPdf closes the page after every call, and PDFium drops a page's fonts with
// it, so each page would load and decrypt its embedded fonts again: most of the
// time of a page. The one call that leaves its page open (asking for text past
// the end of the page) keeps that page's fonts loaded. A page every so often is
// enough to keep a book's few dozen fonts; the memory goes with this process.
// Every 7th page read by each of two helpers read source3.pdf in 0.86-0.90 x
// mutool's time and source2e.pdf in 0.88-0.91 x, against 1.05-1.07 and
// 1.13-1.17 x for every 10th and 0.91-1.01 x for every 3rd (alternating runs);
// the helpers' peak grew from 89 to 99 MiB on source3.pdf.
constexpr int kPinEvery = 7;

void pinFonts(QPdfDocument &pdf, int page)
{
    pdf.getSelectionAtIndex(page, std::numeric_limits<int>::max() / 2, 1);
}

} // namespace

int main(int argc, char **argv)
{
    // Before the book arrives: the viewer may end at any moment, and the
    // decrypted book must not stay behind in a process of its own.
    if (!dieWithParent(parentPidArgument(argc, argv)))
        return 4;
    if (!limitAddressSpace(kAddressSpaceLimit))
        return 5;
    QCoreApplication app(argc, argv);
    PdfHelperBook book;
    if (const int status = book.open())
        return status;
    const int end = qMin(book.request.endPage, book.pdf.pageCount());

    int read = 0;
    for (int page = book.request.firstPage; page < end; page += book.request.stride) {
        if (read++ % kPinEvery == 0)
            pinFonts(book.pdf, page);
        PdfPageRecord record;
        record.page = page;
        record.text = book.pdf.getAllText(page).text();
        if (book.output.write(encodePageRecord(record)) < 0)
            return 3;
    }
    return book.output.flush() ? 0 : 3;
}
