#pragma once

#include <QHashFunctions>
#include <QtGlobal>

namespace vk {

// A run of text in one page of one document: the unit that search yields, the
// view selects and highlights. Bounds are asked of the document that made it
// (PdfDocument::selectionBounds), so a search with thousands of matches costs
// nothing for the pages nobody looks at.
struct PdfSelection
{
    quint64 documentId = 0; // PdfDocument::id() of the document the text belongs to
    int page = -1;          // 0-based
    int start = 0;          // first character, counted in the page's text
    int length = 0;         // characters

    bool isValid() const { return documentId != 0 && page >= 0 && length > 0; }
    friend bool operator==(const PdfSelection &, const PdfSelection &) = default;
    friend size_t qHash(const PdfSelection &s, size_t seed = 0)
    {
        return qHashMulti(seed, s.documentId, s.page, s.start, s.length);
    }
};

} // namespace vk
