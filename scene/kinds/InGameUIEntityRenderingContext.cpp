#include "scene/kinds/InGameUIEntityRenderingContext.h"

#include "ui/UIVirtualScreen.h"
#include "ui/elements/UIElement.h"
#include "ui/render/UIQuadBatch.h"

#include <immintrin.h>

InGameUIEntityRenderingContext::InGameUIEntityRenderingContext(NorvexRenderer& renderer, UIElement* element,
                                                               const Vector& size, float width, float height)
    : EntityRenderingContext(renderer), m_element(element), m_width(width), m_height(height)
{
    // The plane's scale uses the fast reciprocal estimate (about 12 bits), as the UI layout expects.
    m_scale.SetSimd(_mm_mul_ps(_mm_setr_ps(2.0f, -2.0f, -2.0f, 1.0f), _mm_rcp_ps(size.Simd())));
}

void InGameUIEntityRenderingContext::Draw(const Matrix& world, uint32_t passFlags, const Vector&)
{
    SetUIVirtualScreenSize(m_width * m_scale.x, m_height * m_scale.y);
    Matrix matrix;
    matrix.rows[0].Mul(world.rows[0], m_scale.x);
    matrix.rows[1].Mul(world.rows[2], m_scale.y);
    matrix.rows[2].Mul(world.rows[1], m_scale.z);
    matrix.rows[3] = world.rows[3];
    matrix.rows[3].Add(world.rows[1]);
    matrix.rows[3].Sub(world.rows[0]);
    matrix.rows[3].Add(world.rows[2]);
    RenderAndFlush(m_element, matrix, passFlags, (passFlags & 4) != 0 ? 0 : 1, 0, 4);
}

void InGameUIEntityRenderingContext::RenderAndFlush(UIElement* element, const Matrix& matrix, uint32_t, uint32_t wait,
                                                    uint32_t, uint32_t)
{
    m_lastMatrix = matrix;
    m_lastWait = wait;
    // Alignment bits 0x4: window alignment moves by the in-game alignment matrices.
    if (element != nullptr)
        element->RenderTree(matrix, Vector(1.0f, 1.0f, 1.0f, 1.0f), false, nullptr, 0x4);
    FlushAllUIQuadBatches();
}
