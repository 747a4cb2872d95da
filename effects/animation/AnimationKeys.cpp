#include "effects/animation/AnimationKeys.h"

namespace AnimationKeys
{
int32_t QuantiseProgress(float progress, const AnimationRange& range)
{
    const float width = range.maximum.w - range.minimum.w;
    // A range of no width puts every key at its minimum: the progress is before or after all of them.
    float q = width > 0.0f ? (progress - range.minimum.w) * 2.0f / width - 1.0f
                           : (progress >= range.minimum.w ? 2.0f : -2.0f);
    q = std::clamp(q, -2.0f, 2.0f);
    return int32_t(q > 0.0f ? q * 32767.0f : q * 32768.0f);
}
} // namespace AnimationKeys
