#pragma once

namespace vk {

// Turns wheel movement into whole steps: a mouse wheel notch (120 eighths of
// a degree) is one step, while a touchpad's small movements add up to one.
// Turning the other way starts counting afresh.
class WheelSteps
{
public:
    static constexpr int kNotch = 120;

    // Steps completed by this movement; positive away from the user.
    int take(int angleDelta);

private:
    int m_pending = 0;
};

} // namespace vk
