// UIText: one text widget with its font name, size and text (main-thread copy), and on the render
// side the wide text that drawing shows and the two per-character blend parameters that the text
// actions drive. Laying the text out and drawing it need the font and text subsystem, which is not
// built yet: the first text element made says so in the log. The main-side text and the smooth text
// methods on the main thread; the Render* members on the render side.
#pragma once

#include "ui/elements/UITextBase.h"

#include <cstdint>
#include <string>

// A text element.
class UIText : public UITextBase
{
public:
    UIText(const char* fontName, uint32_t fontSize);
    bool IsUIText() const override { return true; }

    // The narrow form of the main-thread text.
    const std::string& GetText() const { return m_text; }
    // Takes another text element's text.
    void CopyText(const UIText& other) { SetText(other.m_text.c_str()); }

    // Cross-fades to the new text (null: fades out to no text) on the channel: a fade-out, then a
    // fade-in that sets the text, each over `time`.
    void SetTextSmooth(float time, const char16_t* text, uint32_t flags, uint32_t channel);
    // Blends the characters in one after another, `step` apart (in blend units), moving the follower
    // along the text when there is one.
    void BlendInTextPerChar(float time, uint32_t flags, uint32_t channel, float step, UIElement* follower);

    // Render side.
    const std::u16string& GetRenderText() const { return m_renderText; }
    void SetRenderText(const char16_t* text) { m_renderText = text != nullptr ? text : u""; }
    // Characters in the laid-out lines: until text layout exists, the lines are the text's line
    // breaks, which are not characters.
    uint32_t GetLaidOutCharacterCount() const;
    // Position of character k in the element; false while text layout is not built (logged once).
    bool GetCharacterPosition(uint32_t index, Vector& position) const;
    void SetPerCharBlend(float step, float offset)
    {
        m_perCharBlend[0] = step;
        m_perCharBlend[1] = offset;
    }
    float GetPerCharBlendStep() const { return m_perCharBlend[0]; }
    float GetPerCharBlendOffset() const { return m_perCharBlend[1]; }

protected:
    void OnNarrowText(const char* text) override;
    void OnWideText(const char16_t* text) override;

    std::string m_text;

private:
    std::u16string m_renderText;
    float m_perCharBlend[2] = {0.0f, 0.0f};
};
