#include "ui/elements/UIRoundedRect.h"

#include "core/threads/CommandRingBuffer.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UIPicture.h"

#include <algorithm>

namespace
{
constexpr uint32_t CMD_SET_CORNER_RADIUS = 70;
constexpr RenderCallFunction kRoundedRectTrampoline = &UICommandTrampoline<&UIRoundedRect::RunCommand>;
} // namespace

UIRoundedRect::UIRoundedRect(const char* shaderOptions, bool flushAfter)
{
    m_scriptClassName = "UIRoundedRect";
    RaiseFlag(UIFLAG_TRANSPARENT | UIFLAG_HIERARCHICALANCHOR);
    const Vector zero(0.0f, 0.0f, 0.0f, 0.0f);
    for (uint32_t i = 0; i < kPartCount; ++i)
    {
        UIPicture* const part = new UIPicture();
        part->SetColorMode(UICOLOR_MULTIPLYBYPARENTCOLOR);
        // The bands stretch the single texel at the corner texture's origin.
        if (i <= PART_BOTTOM)
            part->SetUVSize(zero);
        part->SetShader(kShaderName, shaderOptions, 0, flushAfter && i == kPartCount - 1);
        m_parts[i] = part;
        AddChild(part);
    }
    SetName("UIRoundedRect");
}

// ---- Main thread ----

void UIRoundedRect::SetCornerRadius(float radius)
{
    UICommand command(kRoundedRectTrampoline, &UIRoundedRect::RunCommand, CMD_SET_CORNER_RADIUS, this, renderpayload::kFloat);
    command.Put(radius);
}

void UIRoundedRect::SetCornerTexture(const char* name)
{
    for (UIPicture* part : m_parts)
        part->SetTexture(name, 0, kCornerSamplerPreset);
}

// ---- Render side ----

void UIRoundedRect::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    auto* const element = ReadCommandValue<UIRoundedRect*>(reader);
    if (element == nullptr || commandId != CMD_SET_CORNER_RADIUS)
        return;
    element->m_radius = ReadCommandValue<float>(reader);
    element->Layout();
}

float UIRoundedRect::EffectiveRadius(float width, float height, float radius)
{
    // Past half the size the strips get negative extents and the corners touch, as layouts expect;
    // only a negative radius from a script is taken as none.
    return std::max(0.0f, std::min(std::min(width, height), radius));
}

void UIRoundedRect::SetRect(const Vector& size)
{
    UIElement::SetRect(size);
    Layout();
}

void UIRoundedRect::Layout()
{
    const Vector& size = GetRenderSize();
    const float w = size.x, h = size.y, d = size.z;
    const float r = EffectiveRadius(w, h, m_radius);
    struct Placement
    {
        float width, height, x, y, rotation;
    };
    const Placement placements[kPartCount] = {
        {w - 2 * r, r, r, 0, 0},       {w, h - 2 * r, 0, r, 0},     {w - 2 * r, r, r, h - r, 0},
        {r, r, r, r, 180},             {r, r, w - r, r, -90},       {r, r, r, h - r, 90},
        {r, r, w - r, h - r, 0},
    };
    for (uint32_t i = 0; i < kPartCount; ++i)
    {
        const Placement& p = placements[i];
        UIPicture* const part = m_parts[i];
        part->SetRect(Vector(p.width, p.height, d, 0.0f));
        part->SetRenderPosition(Vector(p.x, p.y, 0.0f, 1.0f));
        if (i >= PART_TOP_LEFT && i != PART_BOTTOM_RIGHT)
            part->SetRenderRotation(Vector(0.0f, 0.0f, p.rotation, 0.0f));
    }
}
