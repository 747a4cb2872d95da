// UIStencilMask: nested stencil masks of the UI draw. A push writes the element's own quad into the
// stencil at the next depth and from then on lets drawing land only where the stencil holds that
// depth; a pop goes back one depth, and the test goes off when the last mask is popped. Masks nest
// at most 255 deep (the stencil holds a byte): a deeper push is refused and must not be popped.
//
// Render thread only (any thread while no render thread runs).
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

// The one stencil mask state of the UI draw.
class UIStencilMask
{
public:
    static constexpr uint32_t kMaxDepth = 255;

    // Draws the mask quad (the unit square scaled by `size` under `drawMatrix`) through quad
    // batch 0 and restricts later drawing to it. False (logged, nothing changed) at the deepest
    // depth already.
    bool Push(const Matrix& drawMatrix, const Vector& size, uint32_t blendMode, const Vector* constants, bool mirrored);
    // One depth back; nothing at depth 0.
    void Pop();
    uint32_t GetDepth() const { return m_depth; }
    void Reset() { m_depth = 0; }

private:
    uint32_t m_depth = 0;
};

extern UIStencilMask gUIStencilMask;
