#include "scene/cameras/CameraEasing.h"

#include <cmath>
#include <numbers>

float EaseCamera(uint32_t easing, float t, bool withQuadratic)
{
    constexpr float kPi = std::numbers::pi_v<float>;
    switch (easing)
    {
    case 1:
        return std::sin(t * kPi * 0.5f);
    case 2:
        return 1.0f - std::sin((1.0f - t) * kPi * 0.5f);
    case 3:
        return 0.5f * (std::sin((t - 0.5f) * kPi) + 1.0f);
    case 4:
        return withQuadratic ? t * t : t;
    default:
        return t;
    }
}
