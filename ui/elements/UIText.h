// UIText: one text widget with its font name, size, text and colour (main-thread copy). Laying the
// text out and drawing it need the font and text subsystem, which is not built yet: the first text
// element made says so in the log. Main thread only.
#pragma once

#include "ui/elements/UIElement.h"

#include <cstdint>
#include <string>

// A text element.
class UIText : public UIElement
{
public:
    UIText(const char* fontName, uint32_t fontSize);
    bool IsUITextBase() const override { return true; }
    bool IsUIText() const override { return true; }

    void SetText(const char* text) { m_text = text != nullptr ? text : ""; }
    const std::string& GetText() const { return m_text; }
    // Takes another text element's text.
    void CopyText(const UIText& other) { m_text = other.m_text; }
    const std::string& GetFontName() const { return m_fontName; }
    uint32_t GetFontSize() const { return m_fontSize; }

protected:
    std::string m_text;

private:
    std::string m_fontName;
    uint32_t m_fontSize;
};
