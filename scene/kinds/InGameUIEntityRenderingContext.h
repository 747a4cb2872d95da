// InGameUIEntityRenderingContext: the render-side twin of an InGameUIEntity. Made on the main
// thread with the element, the template's size and the element size; drawn on the render thread,
// where it lays the UI out for its virtual screen and draws the element on the entity's plane.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"
#include "renderer/EntityRenderingContext.h"

#include <cstdint>

class UIElement;

// Draws one UI element on a plane in the scene.
class InGameUIEntityRenderingContext : public EntityRenderingContext
{
public:
    // `size` is the template's world size of the plane; `width` x `height` the element's UI size.
    InGameUIEntityRenderingContext(NorvexRenderer& renderer, UIElement* element, const Vector& size, float width,
                                   float height);

    // Render thread: the virtual screen is the element size scaled to the plane; the element is
    // drawn with the world rows r0, r2, r1 scaled and moved to r3 + r1 - r0 + r2.
    void Draw(const Matrix& world, uint32_t passFlags, const Vector& color) override;
    // Render thread: draws the element tree with `matrix`, then flushes the four UI quad batches
    // (waiting for them with `wait`).
    void RenderAndFlush(UIElement* element, const Matrix& matrix, uint32_t passFlags, uint32_t wait, uint32_t first,
                        uint32_t batchCount);

    const Vector& GetScale() const { return m_scale; }
    UIElement* GetElement() const { return m_element; }
    float GetWidth() const { return m_width; }
    float GetHeight() const { return m_height; }
    // The matrix and wait flag of the last draw (render thread).
    const Matrix& GetLastElementMatrix() const { return m_lastMatrix; }
    uint32_t GetLastWait() const { return m_lastWait; }

private:
    UIElement* m_element;
    Vector m_scale;
    float m_width;
    float m_height;
    Matrix m_lastMatrix = Matrix::ONE;
    uint32_t m_lastWait = 0;
};
