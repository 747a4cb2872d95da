#include "ui/elements/UIBlur.h"

#include "core/threads/CommandRingBuffer.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PostprocessManager.h"
#include "ui/elements/UICommand.h"

#include <cmath>

namespace
{
namespace rp = renderpayload;

enum UIBlurCommand : uint32_t
{
    CMD_SET_BLUR_PARAMS = 71,
    CMD_SET_SATURATION = 72,
};

constexpr RenderCallFunction kTrampoline = &UICommandTrampoline<&UIBlur::RunCommand>;
} // namespace

UIBlur::UIBlur()
{
    m_scriptClassName = "UIBlur";
    RaiseFlag(UIFLAG_DRAWPENDINGUIELEMENTSBEFORE);
}

void UIBlur::SetBlurParams(float amount, uint32_t mode)
{
    UICommand command(kTrampoline, &UIBlur::RunCommand, CMD_SET_BLUR_PARAMS, this, rp::kFloat + rp::kU32);
    command.Put(amount).Put(mode);
}

void UIBlur::SetSaturation(float saturation)
{
    UICommand command(kTrampoline, &UIBlur::RunCommand, CMD_SET_SATURATION, this, rp::kFloat);
    command.Put(saturation);
}

void UIBlur::RunCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    auto* const blur = ReadCommandValue<UIBlur*>(reader);
    if (blur == nullptr)
        return;
    if (commandId == CMD_SET_BLUR_PARAMS)
    {
        blur->m_amount = ReadCommandValue<float>(reader);
        blur->m_mode = ReadCommandValue<uint32_t>(reader);
    }
    else if (commandId == CMD_SET_SATURATION)
    {
        blur->m_saturation = ReadCommandValue<float>(reader);
    }
}

uint32_t UIBlur::ShaderIndexFor(float saturation)
{
    return std::fabs(saturation - 1.0f) > 0.001f ? kDesaturatingShaderIndex : kBlurShaderIndex;
}

void UIBlur::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants)
{
    NorvexRenderer* const renderer = gRenderer;
    if (renderer == nullptr || renderer->GetDeviceManager().GetDeviceParams().qualityLevel < kBlurQualityLevel)
    {
        UIElement::Render(matrix, Vector(0.02f, 0.02f, 0.02f, color.w * 0.84f), mirrored, constants);
        return;
    }
    TextureHolder* texture = nullptr;
    Vector uvSize, uvOrigin;
    if (!gPostprocessManager.BlurScreenRect(*renderer, matrix, GetRenderSize(), m_amount, m_mode, &texture, &uvSize,
                                            &uvOrigin))
        return;
    renderer->SetTexture(0, texture, kSamplerPreset);
    const Vector saturation(m_saturation, 0.0f, 0.0f, 0.0f);
    DrawScreenQuad(ShaderIndexFor(m_saturation), matrix, color, mirrored, &uvSize, &uvOrigin, &saturation);
}
