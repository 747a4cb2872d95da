#include "ui/elements/UIElement.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"

#include <atomic>
#include <cmath>

namespace
{
std::atomic<bool> gScreenQuadReported{false};
} // namespace

void UIElement::Release()
{
    if (m_released)
        return;
    m_released = true;
    InvalidateSafePointers();
    if (gRenderer == nullptr)
    {
        delete this;
        return;
    }
    // The UI's own command queue is not built; the deletion rides the render command stream, which
    // the render thread runs in order, so every earlier command that names the element runs first.
    if (!gRenderer->WriteCall(&UIElement::ExecuteDeletion, 0, renderpayload::kPointer))
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "UIElement %p could not be released", static_cast<void*>(this));
        return;
    }
    UIElement* self = this;
    gRenderer->GetWriter().Put(self);
}

void UIElement::ExecuteDeletion(NorvexRenderer&, uint32_t, CommandRingBuffer& reader)
{
    UIElement* element = nullptr;
    if (reader.Read(&element, sizeof(element)))
        delete element;
}

void UIElement::SetColorRGBA(float r, float g, float b, float a)
{
    m_givenColor = Vector(r, g, b, a);
    m_linearColor = Vector(std::pow(r, 2.2f), std::pow(g, 2.2f), std::pow(b, 2.2f), a);
}

void UIElement::Render(NorvexRenderer& renderer)
{
    (void)renderer;
}

void UIElement::DrawScreenQuad(NorvexRenderer& renderer, uint32_t shaderIndex, const Matrix& matrix,
                               const Vector& color, bool mirrored, const Vector* uvConstants,
                               const Vector* uvOriginConstants, const Vector* pixelConstant)
{
    (void)renderer;
    (void)matrix;
    (void)color;
    (void)mirrored;
    (void)uvConstants;
    (void)uvOriginConstants;
    (void)pixelConstant;
    ++m_screenQuadRequests;
    if (!gScreenQuadReported.exchange(true))
        gConsole.Warning(CONSOLE_CHANNEL_RENDER, "UIElement::DrawScreenQuad (UI shader %u) is not built yet", shaderIndex);
}
