// ProceduralAnimation: the base of animations computed rather than read from a clip. They drive
// only the first bone of their tree node, and their weight counts on that bone alone. Main thread
// only.
#pragma once

#include "effects/animation/BaseAnimation.h"

// An animation whose pose is computed each frame.
class ProceduralAnimation : public BaseAnimation
{
public:
    explicit ProceduralAnimation(const AnimationParams& params) : BaseAnimation(params)
    {
        SetStateBits(ANIMSTATE_PROCEDURAL);
    }
};
