// UITextRecipe: the recipe of a text element: font and size, the text (direct or a string-table
// path), alignment, spacing, case, input icons, the UI property it shows, shadow, outline and bottom
// colours and pixel snapping. It builds a UIText, or a UITextBox when the text wraps. Main thread.
#pragma once

#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "core/strings/NameString.h"
#include "ui/recipes/UIElementRecipe.h"

#include <cstdint>

// Recipe of a UIText or UITextBox.
class UITextRecipe : public UIElementRecipe
{
    RTTI_DECLARE_CLASS(UITextRecipe, UIElementRecipe)

public:
    // "Auto property" when the text shows no UI property.
    static constexpr const char* kNoAutoProperty = "!None";
    // Element flag of a text box built from a recipe.
    static constexpr uint32_t kRecipeTextBoxFlag = 0x1000000;
    // "Pixel perfect" values.
    enum PixelPerfect : uint8_t
    {
        PIXEL_PERFECT_NONE = 0,
        PIXEL_PERFECT_FULL = 1,
        PIXEL_PERFECT_VERTICAL = 2,
        PIXEL_PERFECT_HORIZONTAL = 3,
    };
    // The character spacing stays within this distance of 0.
    static constexpr int32_t kMaxCharacterSpacing = 1000;
    // A UI this small (either side) adds the low-resolution spacing offset.
    static constexpr uint32_t kLowResolutionWidth = 640;
    static constexpr uint32_t kLowResolutionHeight = 480;

    UITextRecipe() = default;

    const char* GetWidgetClassName() const override { return m_wrapText ? "UITextBox" : "UIText"; }
    UIElement* CreateWidget() const override;
    void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags) override;
    UIElementRecipe* CreateRecipe() const override { return new UITextRecipe; }
    // "Auto property" offers "!None" and the project's UI property names.
    void GetPropertyChoices(const char* propertyName, DynarraySafe<NameString>& choices) const override;

    void SetAutoProperty(const NameString& name) { m_autoProperty = name; }
    const NameString* GetAutoPropertyAddress() const { return &m_autoProperty; }
    // The spacing the element gets for a UI of this size.
    int32_t CharacterSpacingFor(uint32_t uiWidth, uint32_t uiHeight) const;

    NameString m_font;
    uint32_t m_fontSize = 10;
    NameString m_text;
    uint32_t m_horizontalAlignment = 0;
    uint32_t m_verticalAlignment = 0;
    HDRColor m_bottomColor{255, 255, 255, 0};
    int32_t m_characterSpacing = 0;
    int32_t m_lowResolutionSpacingOffset = 0;
    float m_lineSpacing = 1.0f;
    bool m_upperCase = false;
    bool m_localized = false;
    bool m_inputIcons = false;
    bool m_wrapText = false;
    uint32_t m_outlineWidth = 0;
    HDRColor m_outlineColor{255, 0, 255, 255};
    Vector m_shadowPosition{0.0f, 0.0f, 0.0f, 0.0f};
    HDRColor m_shadowColor{0, 0, 0, 255};
    bool m_debugBox = false;
    bool m_doNotReplace = false;
    uint8_t m_pixelPerfect = PIXEL_PERFECT_FULL;

private:
    NameString m_autoProperty{kNoAutoProperty};
};
