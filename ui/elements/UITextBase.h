// UITextBase: what every text-showing element shares on the main thread: its font (resolved from a
// name, a size and the project's font table and replacements), its text scale and character
// spacing, the string-table path its text came from, the genders its lookups use and the text
// variables it expands. Every live text element is on one list, so a change of input mode or
// language can refresh them all. Main thread only.
#pragma once

#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "ui/elements/UIElement.h"

#include <cstdint>
#include <string>

class ResourceFont;
class StringReplacementContainer;
class StringReplacementContainerInternals;

// The size a font is prepared in for a wanted pixel size (coarser steps for larger sizes).
uint32_t QuantizeFontPixelSize(uint32_t size);
// Bytes per frame of a picture atlas's frame data of the given format (0 for unknown formats).
uint32_t PictureAtlasFrameSize(uint32_t format, uint32_t count);

// Base of the text elements.
class UITextBase : public UIElement
{
public:
    // `fontName` is kept lower-cased; no font is resolved until asked.
    UITextBase(const char* fontName, uint32_t fontSize);
    ~UITextBase() override;
    bool IsUITextBase() const override { return true; }

    // Sets the text directly: the string-table path is forgotten.
    void SetText(const char* text);
    void SetTextUnicharPtr(const char16_t* text);
    // Sets the text of a string-table path, looked up with the element's genders.
    void SetLocalizedText(const char* path);
    // The text as last set on the main thread (widened from narrow text through the code page).
    const std::u16string& GetMainText() const { return m_mainText; }
    const NameString& GetStringPath() const { return m_stringPath; }

    // The font's line height times the text scale's y; 0 without a font.
    float GetFontHeight() const;
    // The size the text takes when drawn: the font's measure (with the character spacing) times
    // the text scale. (0, 0, 0, 0) without a font.
    Vector GetTextSize(const char16_t* text) const;
    float GetTextWidth(const char16_t* text) const { return GetTextSize(text).x; }
    float GetTextHeight(const char16_t* text) const { return GetTextSize(text).y; }
    // The same for the localized text of a path.
    Vector GetLocalizedTextSize(const char* path) const;
    float GetLocalizedTextWidth(const char* path) const { return GetLocalizedTextSize(path).x; }
    float GetLocalizedTextHeight(const char* path) const { return GetLocalizedTextSize(path).y; }

    // Looks the element's path up again (after a change of input mode).
    void RefreshForInputMode();
    static void RefreshAllLocalizedTexts();
    // After a change of language: every element drops its font, unused fonts are evicted, then
    // every element resolves its font and looks its text up again.
    static void ReloadAllFonts();
    // A change of UI size: every live text drops its font, or resolves it again (RefreshFont).
    static void ClearAllFonts();
    static void RefreshAllFonts();

    // Takes a reference on the container's internals (made when it has none) after dropping the
    // old one; null leaves the element without variables.
    void SetReplacementContainer(StringReplacementContainer* container);
    StringReplacementContainerInternals* GetReplacementInternals() const { return m_replacements; }
    // The main text with the element's variables expanded.
    std::u16string GetExpandedText() const;

    void SetCharacterSpacing(int32_t spacing) { m_characterSpacing = spacing; }
    int32_t GetCharacterSpacing() const { return m_characterSpacing; }
    void SetTextScale(const Vector& scale) { m_textScale = scale; }
    const Vector& GetTextScale() const { return m_textScale; }
    void SetGenders(uint32_t speaker, uint32_t receiver)
    {
        m_speakerGender = speaker;
        m_receiverGender = receiver;
    }

    // Font choice: name (lower-cased), size, UI-scaling switch and outline, then resolution.
    void SetFont(const char* name, uint32_t size, bool uiScaling, uint32_t outlineWidth);
    void SetNoReplacement(bool noReplacement) { m_noReplacement = noReplacement; }
    // Resolves the font from the table, the replacements and the screen, then loads it (blocking).
    void ResolveFont();
    // Resolves the font again for the current UI size.
    virtual void RefreshFont() { ResolveFont(); }
    // Drops the font.
    void ClearFont();
    ResourceFont* GetFont() const { return m_font; }
    // Font pixels to UI units: the text scale that resolution chose over the screen factor.
    const Vector& GetFontPixelSize() const { return m_fontPixelSize; }
    uint8_t GetCharacterWrap() const { return m_characterWrap; }
    const std::string& GetFontName() const { return m_fontName; }
    uint32_t GetFontSize() const { return m_fontSize; }
    // The resource name resolution last asked for ("" before).
    const std::string& GetFontResourceName() const { return m_fontResourceName; }

protected:
    // The kinds keep their text in their own form.
    virtual void OnNarrowText(const char* text);
    virtual void OnWideText(const char16_t* text);

private:
    const char16_t* LookUp(const char* path) const;
    void RefreshFontAndText();

    std::string m_fontName;
    uint32_t m_fontSize;
    uint32_t m_outlineWidth = 0;
    bool m_uiScaling = false;
    bool m_noReplacement = false;
    uint8_t m_characterWrap = 0;
    Vector m_textScale{1.0f, 1.0f, 1.0f, 1.0f};
    Vector m_fontPixelSize{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t m_characterSpacing = 0;
    uint32_t m_speakerGender = 2;
    uint32_t m_receiverGender = 2;
    NameString m_stringPath;
    std::u16string m_mainText;
    std::string m_fontResourceName;
    ResourceFont* m_font = nullptr;
    StringReplacementContainerInternals* m_replacements = nullptr;
    // The list of live text elements, in creation order.
    UITextBase* m_previousLive = nullptr;
    UITextBase* m_nextLive = nullptr;
};
