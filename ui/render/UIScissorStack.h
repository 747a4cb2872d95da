// UIScissorStack: the nested screen rectangles that clip UI subtrees. Each entry is (left, top,
// right, bottom) in normalised device units; a push intersects the element's rectangle with the
// top entry, so an inner clip never draws outside an outer one. The device's scissor test is on
// exactly while the stack holds entries.
//
// Render thread only (any thread while no render thread runs).
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

// The one scissor stack of the UI draw.
class UIScissorStack
{
public:
    UIScissorStack() { m_rects.SetCapacity(8); }

    // The rectangle of the unit square scaled by `size` under `drawMatrix` and the renderer's
    // view-projection, cut to the top entry, becomes the device scissor rectangle.
    void Push(const Matrix& drawMatrix, const Vector& size);
    // Back to the entry below, or scissoring off.
    void Pop();
    void Clear() { m_rects.Clear(); }

    int32_t GetDepth() const { return m_rects.Count(); }
    // The top rectangle; null when the stack is empty.
    const Vector* GetTop() const { return m_rects.Count() > 0 ? &m_rects[m_rects.Count() - 1] : nullptr; }

private:
    static void ApplyToDevice(const Vector& rect);

    Dynarray<Vector> m_rects;
};

extern UIScissorStack gUIScissorStack;
