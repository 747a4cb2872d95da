// UIElement: the base of every UI widget. Render-thread half only, and only what the elements
// built so far use: the user flag word, the draw matrix, colour and mirroring that the draw walk
// would set, and the direct screen-quad draw. The element tree, its command stream and the draw
// walk are not built yet; DrawScreenQuad says so in the log. The main thread points at elements
// through safe pointers; Release clears them all at once and hands the element to the render thread,
// which deletes it after every command already queued.
//
// Threads: Render and DrawScreenQuad on the render thread; RaiseFlag wherever the element is made;
// Release, safe pointers and the layout setters on the main thread. The main-thread layout
// (position, size, colour) is not yet carried to the render side: the UI commands are not built.
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

    // Main-thread layout, in UI pixels.
    void SetPosition(float x, float y)
    {
        m_position[0] = x;
        m_position[1] = y;
    }
    void SetSize(float width, float height)
    {
        m_size[0] = width;
        m_size[1] = height;
    }
    float GetX() const { return m_position[0]; }
    float GetY() const { return m_position[1]; }
    float GetWidth() const { return m_size[0]; }
    float GetHeight() const { return m_size[1]; }
    // Keeps the colour in linear form (red, green and blue to the power 2.2, alpha as given).
    void SetColorRGBA(float r, float g, float b, float a);
    // The colour as given to SetColorRGBA (not linear).
    const Vector& GetColorRGBA() const { return m_givenColor; }
    const Vector& GetLinearColor() const { return m_linearColor; }
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

    float m_position[2] = {0.0f, 0.0f};
    float m_size[2] = {0.0f, 0.0f};
    Vector m_givenColor{1.0f, 1.0f, 1.0f, 1.0f};
    Vector m_linearColor{1.0f, 1.0f, 1.0f, 1.0f};
    uint32_t m_userFlags = 0;
    bool m_released = false;
    uint32_t m_screenQuadRequests = 0;
};
