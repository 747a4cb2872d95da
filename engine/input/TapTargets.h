// What the input manager asks of the user interface about taps: whether a screen takes a tap as a
// pointer, and where a screen drew an element last. The game's UI screen stack and its screens
// answer these. Main thread only.
#pragma once

#include "core/math/Vector.h"

#include <cstdint>

// Offered every tap that begins, moves or ends; true when a screen took it.
class TapPointerTarget
{
public:
    virtual ~TapPointerTarget() = default;
    virtual bool DispatchPointerBegin(uint32_t source, float x, float y) = 0;
    virtual bool DispatchPointerEnd(uint32_t source, float x, float y) = 0;
    virtual bool DispatchPointerMove(uint32_t source, float x, float y) = 0;
};

// A screen's hit-test quads of its last draw.
class TapHitTestScreen
{
public:
    virtual ~TapHitTestScreen() = default;
    // Index of the element's selection candidate, or -1 when the element is not among them.
    virtual int32_t FindSelectionCandidate(uint32_t elementId) const = 0;
    virtual bool IsPointInSelectionCandidate(int32_t candidate, const Vector& point) const = 0;
};
