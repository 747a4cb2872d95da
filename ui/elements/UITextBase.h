// UITextBase: what every text-showing element shares. On the main thread: its font (resolved from a
// name, a size and the project's font table and replacements), its text scale and character
// spacing, the string-table path its text came from, the genders its lookups use and the text
// variables it expands. Every live text element is on one list, so a change of input mode or
// language can refresh them all. On the render side, changed only by the text commands (44 to 65):
// its own font reference, the font pixel size, alignment, shadow, tint, second colour, case
// conversion, line spacing and the per-character blend window, and the measuring and drawing of
// text runs with inline tags ("|name|" draws the children of that name in the text).
//
// Threads: the main-side operations on the main thread; the Render* members, the text commands'
// executor, MeasureText and DrawTextRun on the render side.
#pragma once

#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "ui/elements/UIElement.h"

#include <cstdint>
#include <string>

class CommandRingBuffer;
class ResourceFont;
struct UITextCommandArgs;
class StringReplacementContainer;
class StringReplacementContainerInternals;

// The size a font is prepared in for a wanted pixel size (coarser steps for larger sizes).
uint32_t QuantizeFontPixelSize(uint32_t size);
// Bytes per frame of a picture atlas's frame data of the given format (0 for unknown formats).
uint32_t PictureAtlasFrameSize(uint32_t format, uint32_t count);

// Text alignment and case conversion values (scripts see the same numbers).
constexpr uint32_t TEXTALIGNMENT_LEFT = 0;
constexpr uint32_t TEXTALIGNMENT_RIGHT = 1;
constexpr uint32_t TEXTALIGNMENT_CENTER = 2;
constexpr uint32_t TEXTVERTICALALIGNMENT_TOP = 0;
constexpr uint32_t TEXTVERTICALALIGNMENT_BOTTOM = 1;
constexpr uint32_t TEXTVERTICALALIGNMENT_CENTER = 2;
constexpr uint8_t UITEXTCONVERSION_NONE = 0;
constexpr uint8_t UITEXTCONVERSION_UPPERCASE = 1;

// The ids of the text commands.
enum UITextCommand : uint32_t
{
    UITEXT_CMD_RELEASE_FONT = 44,
    UITEXT_CMD_SET_FONT = 45,
    UITEXT_CMD_SET_SHADOW_POSITION = 46,
    UITEXT_CMD_SET_SHADOW_COLOR = 47,
    UITEXT_CMD_SET_SECOND_COLOR = 48,
    UITEXT_CMD_SET_TINT = 49,
    UITEXT_CMD_SET_ALIGNMENT = 50,
    UITEXT_CMD_SET_TEXT_CONVERSION = 51,
    UITEXT_CMD_APPEND_NARROW = 52,
    UITEXT_CMD_APPEND_WIDE = 53,
    UITEXT_CMD_TEXT_SET_NARROW = 54,
    UITEXT_CMD_TEXT_SET_WIDE = 55,
    UITEXT_CMD_TEXT_COPY = 56,
    UITEXT_CMD_TEXT_RESIZE_PARENT = 57,
    UITEXT_CMD_BOX_CLEAR = 58,
    UITEXT_CMD_BOX_REFLOW = 59,
    UITEXT_CMD_BOX_SET_NARROW = 60,
    UITEXT_CMD_BOX_SET_WIDE = 61,
    UITEXT_CMD_BOX_LINE_SPACING = 62,
    UITEXT_CMD_BOX_ALIGN_TO_BOTTOM = 63,
    UITEXT_CMD_BOX_RESET_BLEND = 64,
    UITEXT_CMD_BOX_LINES_TO_RENDER = 65,
};

// Base of the text elements.
class UITextBase : public UIElement
{
public:
    // `fontName` is kept lower-cased; no font is resolved until asked.
    UITextBase(const char* fontName, uint32_t fontSize);
    ~UITextBase() override;
    bool IsUITextBase() const override { return true; }
    // Releases the main side's font.
    void OnRemoved() override;
    // Into the font resource.
    void SetResourceFlags(uint32_t flags) override;

    // Sets the text directly: the string-table path is forgotten.
    void SetText(const char* text);
    void SetTextUnicharPtr(const char16_t* text);
    // A bound UI property's text replaces the element's; until the property has a value (null) the
    // element keeps its own text.
    bool TakesText() const override { return true; }
    void ReceiveText(const char16_t* text) override
    {
        if (text != nullptr)
            SetTextUnicharPtr(text);
    }
    // Sets the text of a string-table path, looked up with the element's genders.
    void SetLocalizedText(const char* path);
    // The text as last set on the main thread (widened from narrow text through the code page).
    const std::u16string& GetMainText() const { return m_mainText; }
    const NameString& GetStringPath() const { return m_stringPath; }

    // The font's line height times the text scale's y; 0 without a font.
    float GetFontHeight() const;
    // The font's measure (with the character spacing) divided by the text scale: the size in
    // the font's pixels that scripts lay text out by. (0, 0, 0, 0) without a font.
    Vector GetTextSize(const char16_t* text) const;
    float GetTextWidth(const char16_t* text) const { return GetTextSize(text).x; }
    float GetTextHeight(const char16_t* text) const { return GetTextSize(text).y; }
    // The size the text takes when drawn: the font's measure times the text scale.
    Vector GetDrawnTextSize(const char16_t* text) const;
    // The drawn size of the localized text of a path.
    Vector GetLocalizedTextSize(const char* path) const;
    float GetLocalizedTextWidth(const char* path) const { return GetLocalizedTextSize(path).x; }
    float GetLocalizedTextHeight(const char* path) const { return GetLocalizedTextSize(path).y; }

    // Rebuilds the input icons and looks the element's path up again (after a change of input mode).
    void RefreshForInputMode();
    // Looks the element's string path up again (its genders kept) and shows the result: the length
    // of the text shown with its variables expanded, 0 when the element has no path.
    uint32_t RefreshLocalizedText();
    // Input icon children, pictures the text places inline by their tag names: mode 0 none, 1 only
    // while the user configuration's input mode is 0 (pads), 2 always. Setting another mode releases
    // every text-tag child and builds the icons the mode asks for; the same mode does nothing.
    void SetInputIcons(uint32_t mode);
    uint32_t GetInputIconsMode() const { return m_inputIconsMode; }
    void RebuildInputIcons();
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

    // The spacing goes to the render side with the font.
    void SetCharacterSpacing(int32_t spacing);
    int32_t GetCharacterSpacing() const { return m_characterSpacing; }
    void SetTextScale(const Vector& scale) { m_textScale = scale; }
    const Vector& GetTextScale() const { return m_textScale; }
    void SetGenders(uint32_t speaker, uint32_t receiver)
    {
        m_speakerGender = speaker;
        m_receiverGender = receiver;
    }

    // ---- Main thread: render-side options (text commands) ----
    void SetShadowPosition(const Vector& offset);
    // A gamma colour (red, green and blue go out raised to 2.2); the Linear form goes out as given.
    void SetShadowColor(const Vector& color);
    void SetLinearShadowColor(const Vector& color);
    void SetOutlineColor(const Vector& color);
    // The tint colour with the tint factor in w.
    void SetBottomColor(const Vector& colorAndFactor);
    void SetAlignment(uint32_t horizontal, uint32_t vertical);
    void SetTextConversion(uint8_t mode);
    // Appends to the shown text (the main-side copy is not changed).
    void AppendText(const char* text);
    void AppendTextWide(const char16_t* text);
    void AppendLocalizedText(const char* path);
    // Cross-fades to the new text (null: fades out to no text) on the channel; forgets the path.
    void SetTextSmooth(float time, const char16_t* text, uint32_t flags, uint32_t channel);
    void SetLocalizedTextSmooth(float time, const char* path, uint32_t flags, uint32_t channel);
    // Blends the characters in one after another, `step` apart (in blend units), moving the
    // follower along the text when there is one.
    void BlendInTextPerChar(float time, uint32_t flags, uint32_t channel, float step, UIElement* follower);

    // Font choice: name (lower-cased), size, UI-scaling switch and outline, then resolution.
    void SetFont(const char* name, uint32_t size, bool uiScaling, uint32_t outlineWidth);
    void SetNoReplacement(bool noReplacement) { m_noReplacement = noReplacement; }
    // Resolves the font from the table, the replacements and the screen, loads it (blocking) and
    // hands it to the render side (command 45).
    void ResolveFont();
    // Re-resolves the font (the text box also re-flows its text).
    virtual void RefreshFont();
    // Drops the font on both sides.
    void ClearFont();
    ResourceFont* GetFont() const { return m_font; }
    // Font pixels to UI units: the text scale that resolution chose over the screen factor.
    const Vector& GetFontPixelSize() const { return m_fontPixelSize; }
    uint8_t GetCharacterWrap() const { return m_characterWrap; }
    const std::string& GetFontName() const { return m_fontName; }
    uint32_t GetFontSize() const { return m_fontSize; }
    // The resource name resolution last asked for ("" before).
    const std::string& GetFontResourceName() const { return m_fontResourceName; }

    // ---- Render side ----
    // Executes the text commands (44 to 65) of any text kind.
    static void RunTextCommand(uint32_t commandId, CommandRingBuffer& reader);
    ResourceFont* GetRenderFont() const { return m_renderFont; }
    const Vector& GetRenderFontPixelSize() const { return m_renderPixelSize; }
    uint8_t GetRenderCharacterWrap() const { return m_renderCharacterWrap; }
    int32_t GetRenderCharacterSpacing() const { return m_renderSpacing; }
    uint8_t GetTextConversion() const { return m_conversion; }
    uint32_t GetHorizontalAlignment() const { return m_horizontalAlignment; }
    uint32_t GetVerticalAlignment() const { return m_verticalAlignment; }
    float GetLineSpacingScale() const { return m_lineSpacingScale; }
    const Vector& GetShadowOffset() const { return m_shadowOffset; }
    const Vector& GetShadowColor() const { return m_shadowColor; }
    bool IsShadowEnabled() const { return m_shadowEnabled; }
    const Vector& GetTintColor() const { return m_tint; }
    bool IsTintEnabled() const { return m_tintEnabled; }
    const Vector& GetSecondColor() const { return m_secondColor; }
    // The per-character blend window (a, b): character i of a draw gets alpha clamp(i a + b).
    float GetBlendStep() const { return m_blendWindow[0]; }
    float GetBlendBase() const { return m_blendWindow[1]; }
    void SetBlendWindow(float step, float base)
    {
        m_blendWindow[0] = step;
        m_blendWindow[1] = base;
    }
    // The kinds' text operations: replace or append the shown text, emptiness, relayout.
    virtual void ReplaceText(const char16_t* text) { (void)text; }
    virtual void AddText(const char16_t* text) { (void)text; }
    virtual bool IsEmpty() const { return true; }
    virtual void UpdateLayout() {}
    // Characters the blend-in action counts, and where character `index` sits in the element
    // (false when the kind has no such place).
    virtual uint32_t GetLaidOutCharacterCount() const { return 0; }
    virtual bool GetCharacterPosition(uint32_t index, Vector& position) const;

    // Width and height of the text in font pixels, inline tags measured by their children; at
    // most `maxCharacters` characters (-1: all). `appendSpace` counts the last character with its
    // whole advance. Zero without a font.
    Vector MeasureText(const char16_t* text, int32_t maxCharacters, bool appendSpace) const;
    // Draws a run of text under `matrix` (font pixels) with its inline children (not in the
    // shadow pass); `budget` counts down the characters still allowed (-1: no limit). The pen's
    // end in font pixels.
    float DrawTextRun(const char16_t* text, const Matrix& matrix, const Vector& elementColor, const Vector& textColor,
                      const Vector& secondColor, bool mirrored, const Vector* constants, bool shadowPass,
                      int32_t& budget, float blendStep, float blendBase) const;
    // Snaps the translation of a text matrix to whole font pixels on the axes the flags ask for.
    void SnapToPixels(Matrix& matrix) const;
    // The text colour after the tint.
    Vector TintedColor(const Vector& color) const;

protected:
    // The kinds keep their text in their own form and send it to their render side.
    virtual void OnNarrowText(const char* text);
    virtual void OnWideText(const char16_t* text);
    // Render side: the kind's own commands (54 to 65).
    virtual void ExecuteKindCommand(uint32_t commandId, UITextCommandArgs& args);
    // Main thread: sends a text to the render side as the command `setId` for the first part and
    // appends (53) for the rest, so that texts longer than one command arrive whole.
    void SendWideText(uint32_t setId, const char16_t* text, size_t length);
    void SendNarrowText(uint32_t setId, const char* text, size_t length);
    // The text as the render side gets it: localized texts with the element's variables expanded.
    std::u16string TextToShow(const char16_t* text) const;
    void SetRenderLineSpacingScale(float scale) { m_lineSpacingScale = scale; }

private:
    const char16_t* LookUp(const char* path) const;
    void RefreshFontAndText();
    void SendFont();
    // Main thread (or direct deletion): takes the element off the list of live text elements.
    void LeaveLiveList();
    void ExecuteTextCommand(uint32_t commandId, UITextCommandArgs& args);
    void SetRenderFont(ResourceFont* font);
    // Upper-cases (tag names excepted) when the conversion asks for it.
    void Convert(std::u16string& text) const;

    std::string m_fontName;
    uint32_t m_fontSize;
    uint32_t m_outlineWidth = 0;
    bool m_uiScaling = false;
    bool m_noReplacement = false;
    uint8_t m_characterWrap = 0;
    Vector m_textScale{1.0f, 1.0f, 1.0f, 1.0f};
    Vector m_fontPixelSize{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t m_characterSpacing = 0;
    uint32_t m_inputIconsMode = 0;
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
    bool m_live = true;

    // Render side.
    ResourceFont* m_renderFont = nullptr;
    Vector m_renderPixelSize{1.0f, 1.0f, 1.0f, 1.0f};
    uint8_t m_renderCharacterWrap = 0;
    int32_t m_renderSpacing = 0;
    uint8_t m_conversion = UITEXTCONVERSION_NONE;
    uint32_t m_horizontalAlignment = TEXTALIGNMENT_LEFT;
    uint32_t m_verticalAlignment = TEXTVERTICALALIGNMENT_TOP;
    float m_lineSpacingScale = 1.0f;
    Vector m_shadowOffset{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_shadowColor{0.0f, 0.0f, 0.0f, 0.0f};
    bool m_shadowEnabled = false;
    Vector m_tint{0.0f, 0.0f, 0.0f, 0.0f};
    bool m_tintEnabled = false;
    Vector m_secondColor{1.0f, 0.0f, 1.0f, 1.0f};
    float m_blendWindow[2] = {0.0f, 1.0f};
};
