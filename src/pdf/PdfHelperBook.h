#pragma once

#include "PdfTextProtocol.h"

#include <QBuffer>
#include <QFile>
#include <QPdfDocument>

namespace vk {

// What a text helper process works with: the request it read from standard
// input, the book opened from the memory file named on its command line
// (unlocked with the request's password when it needs one) and standard
// output for its page records.
struct PdfHelperBook
{
    PdfTextRequest request;
    QBuffer buffer; // the bytes QtPdf reads the book from
    QPdfDocument pdf;
    QFile output;

    // 0 when the book is Ready, else the helper's exit status: 1 for no
    // request, book or output, 2 for a book that does not open.
    int open(int argc, char **argv);
};

} // namespace vk
