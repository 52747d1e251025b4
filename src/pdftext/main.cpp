// velkarn-pdf-text: reads the text of a share of a book's pages
// for the viewer, which starts a few of these side by side when a large book
// opens, so that its first search does not wait on one thread of PDFium.
// Request on standard input, the book in a memory file the viewer passes on
// (PdfBookFile.h), one record per page on standard output (PdfTextProtocol.h);
// the pages are taken from the count its twins share (PdfPageClaims). Exit
// status 0 when every page it took was written; 4 when the viewer that
// started it is gone, 5 when it cannot cap its memory, 6 when it cannot use
// the shared count.

#include "FontPins.h"
#include "HelperConfinement.h"
#include "PdfPageClaims.h"
#include "PdfHelperBook.h"

#include <QCoreApplication>
#include <QPdfDocument>
#include <QPdfSelection>

#include <ctime>
#include <limits>

using namespace vk;

namespace {

// The one QtPdf call that leaves its page open (asking for text past the end
// of the page): the page's fonts stay loaded while this process lives. On
// source2e.pdf, pinning after slow pages and every 30th kept the pages'
// reading time of pinning every 7th (1.90-1.91 s for the book, against
// 1.89-1.96 s) with half the pins (88-98 against 175): 3% less in all.
void pinFonts(QPdfDocument &pdf, int page)
{
    pdf.getSelectionAtIndex(page, std::numeric_limits<int>::max() / 2, 1);
}

// This thread's, so that another program taking the processor does not make
// a page look slow.
std::chrono::nanoseconds processorTime()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
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
    PdfPageClaims claims(argc, argv);
    if (!claims.isValid())
        return 6;
    QCoreApplication app(argc, argv);
    PdfHelperBook book;
    if (const int status = book.open(argc, argv))
        return status;
    const int end = qMin(book.request.endPage, book.pdf.pageCount());

    FontPins pins;
    for (int page = claims.claim(end); page >= 0; page = claims.claim(end)) {
        if (pins.pinNext())
            pinFonts(book.pdf, page);
        const auto start = processorTime();
        PdfPageRecord record;
        record.page = page;
        record.text = book.pdf.getAllText(page).text();
        pins.pageRead(processorTime() - start);
        if (book.output.write(encodePageRecord(record)) < 0)
            return 3;
    }
    return book.output.flush() ? 0 : 3;
}
