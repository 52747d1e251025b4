#include "ReadingHistory.h"

namespace vk {

void ReadingHistory::push(QList<PdfPlace> &stack, const PdfPlace &place)
{
    if (!stack.isEmpty() && stack.constLast() == place)
        return;
    if (stack.size() >= kLimit)
        stack.removeFirst();
    stack.append(place);
}

void ReadingHistory::recordJump(const PdfPlace &from, const PdfPlace &to)
{
    if (from == to)
        return;
    push(m_back, from);
    m_forward.clear();
}

std::optional<PdfPlace> ReadingHistory::back(const PdfPlace &current)
{
    if (m_back.isEmpty())
        return std::nullopt;
    push(m_forward, current);
    return m_back.takeLast();
}

std::optional<PdfPlace> ReadingHistory::forward(const PdfPlace &current)
{
    if (m_forward.isEmpty())
        return std::nullopt;
    push(m_back, current);
    return m_forward.takeLast();
}

void ReadingHistory::clear()
{
    m_back.clear();
    m_forward.clear();
}

} // namespace vk
