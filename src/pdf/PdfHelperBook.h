#pragma once

#include "PdfTextProtocol.h"

#include <QBuffer>
#include <QFile>
#include <QPdfDocument>

namespace vk {

// What a text helper process works with: the request it read from standard
// input, the book opened from the request's bytes (unlocked with its password
// when it needs one) and standard output for its page records.
struct PdfHelperBook
{
    PdfTextRequest request;
    QBuffer buffer; // the bytes QtPdf reads the book from
    QPdfDocument pdf;
    QFile output;

    // 0 when the book is Ready, else the helper's exit status: 1 for no
    // request or no output, 2 for a book that does not open.
    int open();
};

} // namespace vk
