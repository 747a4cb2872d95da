// UIRoundedRect: a rectangle with rounded corners made of seven pictures (three bands and four
// corners, all showing one corner texture) that it lays out whenever its size or corner radius
// changes. It draws nothing of its own. Main-side operations on the main thread; the layout on the
// render side (UI command 15 through SetRect, and command 70).
#pragma once

#include "ui/elements/UIElement.h"

#include <cstdint>

class CommandRingBuffer;
class UIPicture;

// A rounded rectangle element.
class UIRoundedRect : public UIElement
{
public:
    enum Part : uint32_t
    {
        PART_TOP,
        PART_MIDDLE,
        PART_BOTTOM,
        PART_TOP_LEFT,
        PART_TOP_RIGHT,
        PART_BOTTOM_LEFT,
        PART_BOTTOM_RIGHT,
        kPartCount
    };
    static constexpr float kDefaultRadius = 10.0f;
    static constexpr uint32_t kCornerSamplerPreset = 7;
    static constexpr const char* kShaderName = "iPhoneUI";

    // The parts draw with the "iPhoneUI" shader and these options in batch 0; with `flushAfter` the
    // last corner flushes the batch.
    UIRoundedRect(const char* shaderOptions, bool flushAfter);

    // ---- Main thread ----
    void SetCornerRadius(float radius);
    // The corner texture of all seven parts.
    void SetCornerTexture(const char* name);
    UIPicture* GetPart(uint32_t part) const { return m_parts[part < kPartCount ? part : kPartCount - 1]; }

    // ---- Render side ----
    static void RunCommand(uint32_t commandId, CommandRingBuffer& reader);
    // Takes the size and lays the parts out for it.
    void SetRect(const Vector& size) override;
    float GetCornerRadius() const { return m_radius; }
    // The radius the layout uses: at most the width and the height, never negative.
    static float EffectiveRadius(float width, float height, float radius);

private:
    void Layout();

    float m_radius = kDefaultRadius;
    // Made by the constructor and never replaced: both sides read the pointers.
    UIPicture* m_parts[kPartCount] = {};
};
