// UIBlur: a panel that shows a blurred, optionally desaturated copy of what lies behind it; at low
// graphics quality a dark translucent panel instead. Main-side setters on the main thread; the
// values and Render on the render side (UI commands 71 and 72).
#pragma once

#include "ui/elements/UIElement.h"

#include <cstdint>

class CommandRingBuffer;

// A blur panel element.
class UIBlur : public UIElement
{
public:
    static constexpr uint32_t kBlurShaderIndex = 8;
    static constexpr uint32_t kDesaturatingShaderIndex = 9;
    static constexpr uint32_t kSamplerPreset = 7;
    // Below this graphics quality level the panel is drawn flat.
    static constexpr uint32_t kBlurQualityLevel = 2;

    UIBlur();

    // ---- Main thread ----
    void SetBlurParams(float amount, uint32_t mode);
    void SetSaturation(float saturation);

    // ---- Render side ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;
    float GetBlurAmount() const { return m_amount; }
    uint32_t GetBlurMode() const { return m_mode; }
    float GetSaturation() const { return m_saturation; }
    // Saturation 1 (within 0.001) needs no desaturating shader.
    static uint32_t ShaderIndexFor(float saturation);

private:
    float m_amount = 4.0f;
    uint32_t m_mode = 1;
    float m_saturation = 1.0f;
};
