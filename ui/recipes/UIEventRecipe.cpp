#include "ui/recipes/UIEventRecipe.h"

#include "ui/elements/UIElement.h"

namespace
{
// The "Action" label is shown by editors, never stored: it always comes from the class.
constexpr uint32_t kActionFlags = 0x4001;
} // namespace

RTTI_DEFINE_CLASS(UIEventRecipe, RTTIPolyBaseClass)
RTTI_DEFINE_CLASS(UIEventRecipePreset, UIEventRecipe)
RTTI_DEFINE_CLASS(UIEventRecipeAnimation, UIEventRecipe)
RTTI_DEFINE_CLASS_TABLE(UIApplyPreset, RTTIPolyBaseClass)

void UIEventRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<UIEventRecipe, NameString>("Action", &UIEventRecipe::m_action,
                                                                                  kActionFlags));
}

void UIEventRecipePreset::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIEventRecipePreset;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Preset name", &C::m_presetName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Time", &C::m_time));
}

void UIApplyPreset::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIApplyPreset;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Preset name", &C::m_presetName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Time", &C::m_time));
}

void UIEventRecipeAnimation::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIEventRecipeAnimation;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>("Loop", &C::m_loop));
    table.AddProperty(new RTTIDynarrayOfEmbeddedObjectsProperty<C, UIApplyPreset>("Presets", &C::m_presets, 0x110000));
}

bool UIEventRecipe::Execute(UIElement*) const
{
    return false;
}

bool UIEventRecipePreset::Execute(UIElement* element) const
{
    if (m_presetName.IsEmpty())
        return false;
    return element->ApplyRecipePreset(m_presetName.CStr(), true, m_time, UIACTIONFLAG_SYSTEMTIME, 0, false, false);
}

bool UIEventRecipeAnimation::Execute(UIElement* element) const
{
    const uint32_t flags = UIACTIONFLAG_SYSTEMTIME | (m_loop ? UIACTIONFLAG_REPEAT : 0);
    bool applied = false;
    for (int32_t i = 0; i < m_presets.Count(); ++i)
    {
        const UIApplyPreset& step = m_presets[i];
        if (step.m_presetName.IsEmpty())
            continue;
        // Only the first entry clears the channel, so the later presets queue behind the earlier.
        applied |= element->ApplyRecipePreset(step.m_presetName.CStr(), true, step.m_time, flags, 0, i == 0, false);
    }
    return applied;
}

float UIEventRecipeAnimation::GetDuration() const
{
    float seconds = 0.0f;
    for (const UIApplyPreset& step : m_presets)
        seconds += step.m_time;
    return seconds;
}
