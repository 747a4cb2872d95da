// UIVideo: a UI element that shows the current frame of the video engine's video. Render thread
// (Render); made wherever UI elements are made.
#pragma once

#include "ui/elements/UIElement.h"

// The video frame drawn inside a UI element.
class UIVideo : public UIElement
{
public:
    static constexpr uint32_t kVideoShaderIndex = 7;
    static constexpr uint32_t kSamplerPreset = 6;
    static constexpr uint32_t kFirstStage = 1;

    UIVideo();
    // While a frame is available: the three planes on stages 1 to 3, the colour planes' coordinate
    // scale in pixel register 4, sRGB writing off for the screen quad, then restored.
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;
};
