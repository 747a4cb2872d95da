#include "engine/input/XControllerBase.h"

#include <algorithm>

namespace
{
float DeadZone(float value, float zone)
{
    const float c = std::clamp(value, -1.0f, 1.0f);
    const float positive = std::max(std::max(c, 0.0f) - zone, 0.0f) / (1.0f - zone);
    const float negative = std::max(-std::min(c, 0.0f) - zone, 0.0f) / (1.0f - zone);
    return positive - negative;
}
} // namespace

void XControllerBase::ApplyDeadZone(Vector& analog, float left, float right)
{
    analog.Set(DeadZone(analog.x, left), DeadZone(analog.y, left), DeadZone(analog.z, right),
               DeadZone(analog.w, right));
}
