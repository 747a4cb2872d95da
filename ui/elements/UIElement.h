// UIElement: the base of every UI widget. Render-thread half only, and only what the elements
// built so far use: the user flag word, the draw matrix, colour and mirroring that the draw walk
// would set, and the direct screen-quad draw. The element tree, its command stream and the draw
// walk are not built yet; DrawScreenQuad says so in the log. The main thread points at elements
// through safe pointers; Release clears them all at once and hands the element to the render thread,
// which deletes it after every command already queued.
//
// Threads: Render and DrawScreenQuad on the render thread; RaiseFlag wherever the element is made;
// Release and safe pointers on the main thread.
#pragma once

#include "core/containers/SafePointer.h"
#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;

// User flag: every quad batch is flushed before the element draws.
constexpr uint32_t UIFLAG_DRAWPENDINGUIELEMENTSBEFORE = 0x200000;

// One node of the UI tree (the part that exists so far).
class UIElement : public SafePointerRoot
{
public:
    ~UIElement() override = default;

    // The UI lets go of the element: every safe pointer to it is cleared now, so no holder keeps
    // it, and its deletion is queued behind the render commands already written (done at once when
    // no renderer runs). The element must not be used by the caller afterwards.
    void Release();
    bool IsReleased() const { return m_released; }

    void RaiseFlag(uint32_t flag) { m_userFlags |= flag; }
    uint32_t GetUserFlags() const { return m_userFlags; }

    // Draws the element (render thread); the base draws nothing yet.
    virtual void Render(NorvexRenderer& renderer);
    // Draws the element rectangle directly with one of the UI shader pairs. The UI shaders and the
    // shared unit quad are not built yet: it logs that once and draws nothing.
    void DrawScreenQuad(NorvexRenderer& renderer, uint32_t shaderIndex, const Matrix& matrix, const Vector& color,
                        bool mirrored, const Vector* uvConstants, const Vector* uvOriginConstants,
                        const Vector* pixelConstant);
    uint32_t GetScreenQuadRequests() const { return m_screenQuadRequests; }

    // What the draw walk hands the element's draw.
    Matrix m_drawMatrix = Matrix::ONE;
    Vector m_color{1.0f, 1.0f, 1.0f, 1.0f};
    bool m_mirrored = false;

private:
    static void ExecuteDeletion(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);

    uint32_t m_userFlags = 0;
    bool m_released = false;
    uint32_t m_screenQuadRequests = 0;
};
