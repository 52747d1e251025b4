#include "WheelSteps.h"

namespace vk {

int WheelSteps::take(int angleDelta)
{
    if ((angleDelta > 0 && m_pending < 0) || (angleDelta < 0 && m_pending > 0))
        m_pending = 0;
    m_pending += angleDelta;
    const int steps = m_pending / kNotch;
    m_pending -= steps * kNotch;
    return steps;
}

} // namespace vk
