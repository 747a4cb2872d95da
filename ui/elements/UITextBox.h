// UITextBox: text broken into lines that fit the element's width (at word ends, or at any
// character for the languages that wrap so), drawn as a window of those lines with alignment,
// line spacing and the per-character blend window. The main side sends the text; the render side
// keeps the full text and the line records and re-breaks them when the text, the font or the
// width change. Main-side members on the main thread; the render-side ones on the render side.
#pragma once

#include "ui/elements/UITextBase.h"

#include <cstdint>
#include <string>
#include <vector>

// Render flag of a text box: alignment terms measure from the box's far edges instead of its origin.
constexpr uint32_t UITEXTBOXFLAG_ALIGNWITHINBOX = 0x1000000;

// A multi-line text element.
class UITextBox : public UITextBase
{
public:
    // One laid-out line: its characters (a line feed that ended it among them), its width in UI
    // units and its character count.
    struct Line
    {
        std::u16string text;
        float width = 0.0f;
        uint32_t characters = 0;
    };

    UITextBox(const char* fontName, uint32_t fontSize);

    bool IsUITextBox() const override { return true; }

    // ---- Main thread ----
    void Clear();
    void SetLineSpacingScale(float scale);
    // Moves `element` below the lines: its y := lines x line height x spacing x a + this y + b.
    void AlignToBottom(UIElement* element, float a, float b);
    void ResetBlendWindow();
    // Draws only `count` lines from `first` (the window is kept when the text changes).
    void SetLinesToRender(uint32_t first, uint32_t count);
    void SetWideTextLimited(const char16_t* text, size_t maxLength);
    void RefreshFont() override;

    // ---- Render side ----
    const std::u16string& GetFullText() const { return m_fullText; }
    const std::vector<Line>& GetLines() const { return m_lines; }
    uint32_t GetFirstLine() const { return m_firstLine; }
    uint32_t GetLineCount() const { return m_lineCount; }
    void ReplaceText(const char16_t* text) override;
    void AddText(const char16_t* text) override;
    bool IsEmpty() const override { return m_lines.empty(); }
    uint32_t GetLaidOutCharacterCount() const override;
    bool GetCharacterPosition(uint32_t index, Vector& position) const override;
    // Stores the size and re-breaks the whole text for the new width.
    void SetRect(const Vector& size) override;
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;

protected:
    void OnNarrowText(const char* text) override;
    void OnWideText(const char16_t* text) override;
    void ExecuteKindCommand(uint32_t commandId, UITextCommandArgs& args) override;

private:
    void ClearLines();
    void Reflow();
    void BreakWords(const char16_t* text);
    void BreakCharacters(const char16_t* text);
    // The first pen y for `lines` lines under the vertical alignment.
    float PenY(uint32_t lines) const;
    float LineX(const Line& line) const;
    float LineHeight() const;

    std::u16string m_fullText;
    std::vector<Line> m_lines;
    uint32_t m_firstLine = 0;
    uint32_t m_lineCount = 0;
    bool m_windowSet = false;
};
