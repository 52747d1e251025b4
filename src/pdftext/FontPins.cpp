#include "FontPins.h"

namespace vk {

void FontPins::pageRead(std::chrono::nanoseconds took)
{
    const double ns = double(took.count());
    ++m_read;
    m_afterSlow = m_usualNs > 0 && ns > kSlowFactor * m_usualNs;
    // Quick to follow faster pages and slow to follow slower ones, so that a
    // chapter of heavy pages does not become the usual.
    const double weight = ns < m_usualNs ? 0.2 : 0.05;
    m_usualNs = m_usualNs == 0 ? ns : (1 - weight) * m_usualNs + weight * ns;
}

} // namespace vk
