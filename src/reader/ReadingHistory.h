#pragma once

#include "PdfPlace.h"

#include <QList>

#include <optional>

namespace vk {

// The places a reader jumped away from, and those they came back from, as a
// browser keeps them: a new jump forgets the way forward. Moving by scrolling
// or paging is not a jump and is not kept.
class ReadingHistory
{
public:
    // A jump leaves from; a jump that lands where it left is not one.
    void recordJump(const PdfPlace &from, const PdfPlace &to);
    // The place to show instead of current, which becomes the way forward
    // (back) or back (forward); nothing when there is no such place.
    std::optional<PdfPlace> back(const PdfPlace &current);
    std::optional<PdfPlace> forward(const PdfPlace &current);
    bool canGoBack() const { return !m_back.isEmpty(); }
    bool canGoForward() const { return !m_forward.isEmpty(); }
    void clear();

    // Enough for an afternoon's reading; the oldest places go first.
    static constexpr qsizetype kLimit = 200;

private:
    static void push(QList<PdfPlace> &stack, const PdfPlace &place);

    QList<PdfPlace> m_back;
    QList<PdfPlace> m_forward;
};

} // namespace vk
