// UIText: one run of text (line feeds are ordinary characters in it). The main side keeps a narrow
// copy of the text for scripts; the render side keeps the shown UTF-16 text, lays it out (offset
// and extent from the alignment and the font's measure) and draws it with its shadow, tint and
// inline tags. Main-side members on the main thread; the render-side ones on the render side.
#pragma once

#include "ui/elements/UITextBase.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A single-line text element.
class UIText : public UITextBase
{
public:
    // Texts set on a UIText are cut to this many characters.
    static constexpr size_t kMaxTextLength = 3072;

    UIText(const char* fontName, uint32_t fontSize);
    bool IsUIText() const override { return true; }

    // The narrow form of the main-thread text.
    const std::string& GetText() const { return m_text; }
    // Takes the source's text (leaving it without text when `move`) and, with `copyColor`, its
    // element colour.
    void CopyText(UIText* source, bool copyColor, bool move);
    // Sizes the parent to the text's extent times this element's scale and anchors it at the text.
    void ResizeParentToMySize();
    // Sets the wide text cut to `maxLength` characters.
    void SetWideTextLimited(const char16_t* text, size_t maxLength);

    // ---- Render side ----
    const std::u16string& GetRenderText() const { return m_renderText; }
    // Where the text starts and how far it reaches, in UI units from the element's origin.
    const Vector& GetTextOffset() const { return m_offset; }
    const Vector& GetTextExtent() const { return m_extent; }
    void ReplaceText(const char16_t* text) override;
    void AddText(const char16_t* text) override;
    bool IsEmpty() const override { return m_renderText.empty(); }
    void UpdateLayout() override;
    // The laid-out text's rectangle: from its offset, as far as its extent.
    void GetScreenRect(Vector corners[4]) const override;
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;

protected:
    void OnNarrowText(const char* text) override;
    void OnWideText(const char16_t* text) override;
    void ExecuteKindCommand(uint32_t commandId, UITextCommandArgs& args) override;

    std::string m_text;

private:
    std::u16string m_renderText;
    Vector m_offset{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_extent{0.0f, 0.0f, 0.0f, 0.0f};
};
