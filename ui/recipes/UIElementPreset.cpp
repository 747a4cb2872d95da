#include "ui/recipes/UIElementPreset.h"

#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementRecipe.h"

#include <cstring>

namespace
{
// Flag words the property editor reads; they enter the layout signature.
constexpr uint32_t kVectorFlags = 64;
constexpr uint32_t kListFlags = 2;

const char* const kEventNames[] = {"OnShow",
                                   "OnHide",
                                   "OnEnable",
                                   "OnSelect",
                                   "OnUnselect",
                                   "OnHighlight",
                                   "OnSelectedHightlight",
                                   "OnPress",
                                   "OnUnpress",
                                   "OnFocus",
                                   "OnDisable",
                                   "OnDisabledSelect",
                                   "OnDisabledUnselect",
                                   "OnDisabledHighlight",
                                   "OnDisabledSelectedHightlight",
                                   "OnDisabledPress",
                                   "OnDisabledUnpress",
                                   "OnDisabledFocus",
                                   nullptr};
} // namespace

RTTI_DEFINE_CLASS(UIElementPreset, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS_TABLE(UIElementSoundReponse, RTTIPolyBaseClass)

void UIElementPreset::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIElementPreset;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Id", &C::m_id));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Hidden", &C::m_hidden));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Position", &C::m_position, kVectorFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Size", &C::m_size, kVectorFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Scale", &C::m_scale, kVectorFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>("Rotation", &C::m_rotation, kVectorFlags));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color", &C::m_color));
    table.AddProperty(new RTTIDynarrayProperty<C, NameString, DynarraySafe<NameString>>(
        "ActiveProperties", &C::m_activeProperties, kListFlags));
}

void UIElementSoundReponse::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIElementSoundReponse;
    table
        .AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Event id", &C::m_eventId,
                                                                    RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kEventNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Sound", &C::m_sound));
}

UIElementPreset::UIElementPreset() = default;

bool UIElementPreset::HasActiveProperty(const char* name) const
{
    for (const NameString& active : m_activeProperties)
        if (!active.IsEmpty() && std::strcmp(active.CStr(), name) == 0)
            return true;
    return false;
}

template <class TSource>
uint32_t UIElementPreset::ChooseParts(const TSource& source, bool allProperties)
{
    if (allProperties)
        return PART_VISIBILITY | PART_POSITION | PART_ROTATION | PART_SCALE | PART_SIZE | PART_COLOR;
    // The size follows "Position", not "Size": stored presets list "Position" to move and resize.
    const struct
    {
        const char* name;
        uint32_t part;
    } names[] = {{"Hidden", PART_VISIBILITY},
                 {"Position", PART_POSITION | PART_SIZE},
                 {"Rotation", PART_ROTATION},
                 {"Scale", PART_SCALE},
                 {"Color", PART_COLOR}};
    uint32_t parts = 0;
    for (const auto& entry : names)
        if (source.HasActiveProperty(entry.name))
            parts |= entry.part;
    return parts;
}

void UIElementPreset::ApplyToElement(UIElement* element, float time, uint32_t actionFlags, uint32_t channel,
                                     bool clearChannel, bool allProperties) const
{
    Apply(element, ChooseParts(*this, allProperties), time, actionFlags, channel, clearChannel);
}

void UIElementPreset::ApplyRecipeToElement(const UIElementRecipe& recipe, UIElement* element, float time,
                                           uint32_t actionFlags, uint32_t channel, bool clearChannel,
                                           bool allProperties)
{
    m_hidden = recipe.m_hidden;
    m_position = recipe.m_position;
    m_size = recipe.m_size;
    m_scale = recipe.m_scale;
    m_rotation = recipe.m_rotation;
    m_color = recipe.m_color;
    Apply(element, ChooseParts(recipe, allProperties), time, actionFlags, channel, clearChannel);
}

void UIElementPreset::Apply(UIElement* element, uint32_t parts, float time, uint32_t actionFlags, uint32_t channel,
                            bool clearChannel) const
{
    if (element->IsInVisibilityChange())
        parts &= ~PART_VISIBILITY;
    if (actionFlags & kKeepPositionFlag)
        parts &= ~PART_POSITION;
    // The bit speaks to the preset, not to the actions.
    actionFlags &= ~kKeepPositionFlag;
    if (clearChannel)
        element->RemoveAllActions(int32_t(channel));
    const bool changeVisibility = (parts & PART_VISIBILITY) && element->IsVisibleFlag() == m_hidden;
    Vector color;
    m_color.ToLinearVector(color);
    if (time < kInstantTime)
    {
        if (changeVisibility)
            element->SetVisible(!m_hidden, true, true);
        if (parts & PART_POSITION)
            element->SetPosition(m_position);
        if (parts & PART_ROTATION)
            element->SetRotation(m_rotation);
        if (parts & PART_SCALE)
            element->SetScale(m_scale);
        if (parts & PART_SIZE)
            element->SetSize(m_size);
        if (parts & PART_COLOR)
            element->SetLinearColor(color);
        return;
    }
    // The tweens run side by side; the closing wait holds the channel's later actions back.
    const uint32_t tweenFlags = actionFlags | UIACTIONFLAG_DONOTWAIT;
    if (changeVisibility)
    {
        if (m_hidden)
            element->BlendOutAndHide(time, tweenFlags, channel);
        else
            element->ShowAndBlendIn(time, tweenFlags, channel);
    }
    if (parts & PART_POSITION)
        element->Move(time, m_position, tweenFlags, channel);
    if (parts & PART_ROTATION)
        element->Rotate(time, m_rotation, tweenFlags, channel);
    if (parts & PART_SCALE)
        element->Scale(time, m_scale, tweenFlags, channel);
    if (parts & PART_SIZE)
        element->ChangeSize(time, m_size, tweenFlags, channel);
    if (parts & PART_COLOR)
        element->ChangeLinearColor(time, color, tweenFlags, channel);
    element->Wait(time, actionFlags & ~UIACTIONFLAG_DONOTWAIT, channel);
}
