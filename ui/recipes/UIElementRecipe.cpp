#include "ui/recipes/UIElementRecipe.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "core/console/GameConsole.h"
#include "engine/config/ProjectConfig.h"
#include "scene/templates/TemplateManager.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIEventRecipe.h"

#include <cstring>

namespace
{
// Flag words the property editor reads; they enter the layout signature.
constexpr uint32_t kRecipeVectorFlags = 64;
constexpr uint32_t kRecipeListFlags = 2;
constexpr uint32_t kEnumFlags = RTTI_PROPERTY_ENUMERATION;
constexpr uint32_t kBehaviourFlags = 0x100000;

const char* const kColorModeNames[] = {"Static", "Multiply alpha", "Multiply color", nullptr};
const char* const kBlendModeNames[] = {"None",     "Alpha",    "Add",          "Add+Alpha", "Inv alpha",
                                       "Subtract", "Modulate", "Modulate inv", "Min",       nullptr};
const char* const kAnchorByNames[] = {"Center", "Anchor", nullptr};
const char* const kAspectAwarenessNames[] = {"None",     "Left",        "Right",     "Top",          "Bottom",
                                             "Left top", "Left bottom", "Right top", "Right bottom", nullptr};
const char* const kAspectScalingNames[] = {"None", "Horizontal", "Vertical", "Both", nullptr};
const char* const kDisabledNames[] = {"No", "Yes", "In game", nullptr};
const char* const kModalNames[] = {"No", "Semi modal", "Modal", nullptr};
const char* const kOutlineNames[] = {"None", "Alied", "Hostile", "Neutral", "Hero", nullptr};
const char* const kBehaviourKeys[UIElementRecipe::EVENT_COUNT] = {
    "OnShow",     "OnHide",  "OnEnable",  "OnSelect",     "OnUnselect",   "OnHighlight",
    "OnSHighlight", "OnPress", "OnUnPress", "OnFocus",      "OnDisable",    "OnDSelect",
    "OnDUnselect", "OnDHighlight", "OnDSHighlight", "OnDPress", "OnDUnPress", "OnDFocus"};

// Copies `length` bytes of `text` after the `used` bytes already in `out`; false when the result
// and its terminator would not fit.
bool AppendBounded(char (&out)[UIElementRecipe::kPrefabBufferSize], size_t& used, const char* text, size_t length)
{
    if (used + length >= UIElementRecipe::kPrefabBufferSize)
        return false;
    std::memcpy(out + used, text, length);
    used += length;
    out[used] = 0;
    return true;
}
} // namespace

// "OnUnPress" reads and writes the press field: records hold the press behaviour under both keys.
UIEventRecipe* UIElementRecipe::*const UIElementRecipe::kEventFields[EVENT_COUNT] = {
    &UIElementRecipe::m_onShow,      &UIElementRecipe::m_onHide,       &UIElementRecipe::m_onEnable,
    &UIElementRecipe::m_onSelect,    &UIElementRecipe::m_onUnselect,   &UIElementRecipe::m_onHighlight,
    &UIElementRecipe::m_onSHighlight, &UIElementRecipe::m_onPress,     &UIElementRecipe::m_onPress,
    &UIElementRecipe::m_onFocus,     &UIElementRecipe::m_onDisable,    &UIElementRecipe::m_onDSelect,
    &UIElementRecipe::m_onDUnselect, &UIElementRecipe::m_onDHighlight, &UIElementRecipe::m_onDSHighlight,
    &UIElementRecipe::m_onDPress,    &UIElementRecipe::m_onDUnPress,   &UIElementRecipe::m_onDFocus};

RTTI_DEFINE_CLASS(UIElementRecipe, RTTIPolyBaseClass)

void UIElementRecipe::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIElementRecipe;
    const auto vector = [&](const char* key, Vector C::*member) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, Vector>(key, member, kRecipeVectorFlags));
    };
    const auto enumeration = [&](const char* key, uint32_t C::*member, const char* const* names) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>(key, member, kEnumFlags))
            ->SetEnumerationNames(names);
    };
    const auto flag = [&](const char* key, bool C::*member, uint32_t flags = 0) {
        table.AddProperty(new RTTIDirectAccessTypedProperty<C, bool>(key, member, flags));
    };
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Name", &C::m_name));
    vector("Position", &C::m_position);
    vector("Rotation", &C::m_rotation);
    vector("Size", &C::m_size);
    vector("Scale", &C::m_scale);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, HDRColor>("Color", &C::m_color));
    enumeration("Color mode", &C::m_colorMode, kColorModeNames);
    enumeration("Blend mode", &C::m_blendMode, kBlendModeNames);
    vector("Anchor", &C::m_anchor);
    enumeration("Anchor by", &C::m_anchorBy, kAnchorByNames);
    enumeration("Aspect awareness", &C::m_aspectAwareness, kAspectAwarenessNames);
    enumeration("Aspect scaling", &C::m_aspectScaling, kAspectScalingNames);
    table.AddProperty(new RTTIDynarrayOfPolyObjectPointersProperty<C, UIElementPreset>("Presets", &C::m_presets, "",
                                                                                      kRecipeListFlags));
    table.AddProperty(new RTTIDynarrayOfPolyObjectPointersProperty<C, UIElementRecipe>("Children", &C::m_children, "",
                                                                                      kRecipeListFlags));
    table.AddProperty(new RTTIPropertyGroup("Secondary", 1));
    enumeration("Disabled", &C::m_disabled, kDisabledNames);
    flag("Hidden", &C::m_hidden);
    flag("FreezedLayout", &C::m_freezedLayout);
    enumeration("Modal", &C::m_modal, kModalNames);
    vector("Selection frame", &C::m_selectionFrame);
    enumeration("Outline", &C::m_outline, kOutlineNames);
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Prefab", &C::m_prefab));
    table.AddProperty(new RTTIPropertyGroup("Flags", 0));
    flag("Transparent", &C::m_transparent);
    flag("Hierarchical anchor", &C::m_hierarchicalAnchor);
    flag("Focusable with mouse", &C::m_focusableWithMouse);
    flag("Clip children", &C::m_clipChildren);
    flag("Clip children (Stencil)", &C::m_stencilClipChildren);
    flag("Auto layout", &C::m_autoLayout, kRecipeListFlags);
    table.AddProperty(new RTTIPropertyGroup("Behaviours", 1));
    // Reading "OnUnPress" after "OnPress" replaces (and frees) the press behaviour read first.
    for (uint32_t i = 0; i < EVENT_COUNT; ++i)
        table.AddProperty(
            new RTTIEmbeddedPolyObjectPointerProperty<C, UIEventRecipe>(kBehaviourKeys[i], kEventFields[i],
                                                                        kBehaviourFlags));
    table.AddProperty(new RTTIPropertyGroup("Sound effects", 1));
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, UIElementSoundReponse>("Event sounds", &C::m_eventSounds));
}

UIElementRecipe::UIElementRecipe() = default;

UIElementRecipe::~UIElementRecipe()
{
    m_children.DeleteAllPointers();
    m_presets.DeleteAllPointers();
    // The press field is listed twice; it is freed once.
    for (uint32_t i = 0; i < EVENT_COUNT; ++i)
        if (i != EVENT_UNPRESS)
            delete (this->*kEventFields[i]);
}

// ---- Kind operations ----

bool UIElementRecipe::RequestPrefab()
{
    char path[kPrefabBufferSize];
    return GetPrefabPath(path) && gTemplateManager.RequestTemplateByName(path);
}

UIElement* UIElementRecipe::CreateWidget() const
{
    return new UIElement;
}

void UIElementRecipe::CycleDisabledMode()
{
    m_disabled = (m_disabled + 1) % 3;
}

void UIElementRecipe::ApplyToElement(UIElement* element, UIProperties&, uint32_t)
{
    element->SetName(m_name.CStr());
    element->SetPosition(m_position);
    element->SetRotation(m_rotation);
    element->SetSize(m_size);
    element->SetSelectionFrame(m_selectionFrame);
    element->SetScale(m_scale);
    element->SetOutline(m_outline);

    uint32_t raise = 0;
    uint32_t clear = 0;
    const auto sort = [&](bool on, uint32_t flag) { (on ? raise : clear) |= flag; };
    sort(m_hidden, UIFLAG_HIDDEN);
    if (m_modal != 0)
        element->SetModal(m_modal);
    // Instant and forced: the element takes the recipe's state without sounds or behaviours.
    element->SetVisible(!m_hidden, true, true);
    sort(m_transparent, UIFLAG_TRANSPARENT);
    sort(m_hierarchicalAnchor, UIFLAG_HIERARCHICALANCHOR);
    sort(m_focusableWithMouse, UIFLAG_FOCUSABLEWITHMOUSE);
    sort(m_clipChildren, kClipChildrenFlag);
    sort(m_stencilClipChildren, kStencilClipChildrenFlag);
    sort(m_autoLayout, UIFLAG_AUTOLAYOUT);
    element->RaiseFlag(raise);
    element->ClearFlag(clear);

    element->SetColorMode(m_colorMode);
    Vector color;
    m_color.ToLinearVector(color);
    element->SetLinearColor(color);
    element->SetBlendMode(m_blendMode);
    element->SetWindowAlignment(m_aspectAwareness);
    element->SetAspectScaling(m_aspectScaling);
    if (m_anchorBy == ANCHOR_BY_ANCHOR)
        element->SetAnchor(m_anchor);
    else if (m_anchorBy == ANCHOR_BY_CENTER)
        element->SetAnchor(Vector(m_size.x * 0.5f, m_size.y * 0.5f, m_size.z * 0.5f, m_size.w * 0.5f));
}

bool UIElementRecipe::ApplyPreset(const char* name, UIElement* element, float time, uint32_t actionFlags,
                                  uint32_t channel, bool clearChannel, bool allProperties)
{
    if (name != nullptr && name[0] != 0)
        if (const UIElementPreset* preset = FindPreset(name))
        {
            preset->ApplyToElement(element, time, actionFlags, channel, clearChannel, allProperties);
            return true;
        }
    if (!(actionFlags & kResetIfNoPresetFlag) &&
        (!gProjectConfig.m_oldUIBehaviour || m_presets.IsEmpty() || m_presets[0] == nullptr))
        return false;
    ApplyDefaultState(element, time, actionFlags, channel, clearChannel);
    return true;
}

void UIElementRecipe::ApplyDefaultState(UIElement* element, float time, uint32_t actionFlags, uint32_t channel,
                                        bool clearChannel)
{
    UIElementPreset preset;
    preset.ApplyRecipeToElement(*this, element, time, actionFlags, channel, clearChannel, true);
}

// ---- Lookups ----

UIElementRecipe* UIElementRecipe::FindByName(const NameString& name)
{
    if (m_name == name)
        return this;
    for (UIElementRecipe* child : m_children)
        if (child != nullptr)
            if (UIElementRecipe* found = child->FindByName(name))
                return found;
    return nullptr;
}

UIElementPreset* UIElementRecipe::FindPreset(const char* id) const
{
    for (UIElementPreset* preset : m_presets)
        if (preset != nullptr && !preset->GetId().IsEmpty() && std::strcmp(preset->GetId().CStr(), id) == 0)
            return preset;
    return nullptr;
}

bool UIElementRecipe::HasActiveProperty(const char* name) const
{
    for (const UIElementPreset* preset : m_presets)
        if (preset != nullptr && preset->HasActiveProperty(name))
            return true;
    return false;
}

RTTIPropertiesBase* UIElementRecipe::ResolvePresetOrRecipe(const char* presetName, RTTIPolyBaseClass*& target)
{
    UIElementPreset* preset = presetName != nullptr && presetName[0] != 0 ? FindPreset(presetName) : nullptr;
    target = preset != nullptr ? static_cast<RTTIPolyBaseClass*>(preset) : this;
    return target->GetClassProperties();
}

void UIElementRecipe::PlayEventSounds(uint32_t eventId) const
{
    for (const UIElementSoundReponse& sound : m_eventSounds)
        if (sound.m_eventId == eventId)
            gSoundEntriesContainer.PlaySoundEntry(sound.m_sound.CStr(), nullptr, 0);
}

bool UIElementRecipe::GetPrefabPath(char (&path)[kPrefabBufferSize]) const
{
    path[0] = 0;
    if (m_prefab.IsEmpty())
        return false;
    const char* prefab = m_prefab.CStr();
    const char* slash = std::strrchr(prefab, '/');
    const std::string& prefix = gProjectConfig.m_uiPrefabPathPrefix;
    size_t used = 0;
    const bool fits = AppendBounded(path, used, prefix.c_str(), prefix.size()) &&
                      (prefix.empty() || prefix.back() == '/' || AppendBounded(path, used, "/", 1)) &&
                      AppendBounded(path, used, prefab, slash != nullptr ? size_t(slash - prefab) : std::strlen(prefab));
    if (!fits)
    {
        // Cut paths would name another template: refuse instead.
        gConsole.Warning(CONSOLE_CHANNEL_REPORT, "The prefab path of \"%s\" is longer than %u characters", prefab,
                         unsigned(kPrefabBufferSize - 1));
        path[0] = 0;
    }
    return fits;
}

bool UIElementRecipe::GetPrefabName(char (&name)[kPrefabBufferSize]) const
{
    name[0] = 0;
    if (m_prefab.IsEmpty())
        return false;
    const char* prefab = m_prefab.CStr();
    const char* slash = std::strrchr(prefab, '/');
    const char* start = slash != nullptr ? slash + 1 : prefab;
    size_t used = 0;
    if (!AppendBounded(name, used, start, std::strlen(start)))
    {
        gConsole.Warning(CONSOLE_CHANNEL_REPORT, "The prefab name of \"%s\" is longer than %u characters", prefab,
                         unsigned(kPrefabBufferSize - 1));
        name[0] = 0;
        return false;
    }
    return true;
}

UIEventRecipe* UIElementRecipe::GetEventRecipe(uint32_t eventId) const
{
    return eventId < EVENT_COUNT && eventId != EVENT_UNPRESS ? this->*kEventFields[eventId] : nullptr;
}

void UIElementRecipe::SetEventRecipe(uint32_t eventId, UIEventRecipe* eventRecipe)
{
    if (eventId >= EVENT_COUNT)
    {
        delete eventRecipe;
        return;
    }
    UIEventRecipe*& held = this->*kEventFields[eventId];
    if (held != eventRecipe)
        delete held;
    held = eventRecipe;
}

void UIElementRecipe::TakeChildren(Dynarray<UIElementRecipe*>& into)
{
    for (UIElementRecipe* child : m_children)
        into.Add(child);
    m_children.Clear();
}

// ---- Tree walks ----

void UIElementRecipe::LoadResourcesRecursive()
{
    LoadResources();
    for (UIElementRecipe* child : m_children)
        if (child != nullptr)
            child->LoadResourcesRecursive();
}

void UIElementRecipe::ReleaseResourcesRecursive()
{
    ReleaseResources();
    for (UIElementRecipe* child : m_children)
        if (child != nullptr)
            child->ReleaseResourcesRecursive();
}

void UIElementRecipe::RequestPrefabRecursive()
{
    RequestPrefab();
    for (UIElementRecipe* child : m_children)
        if (child != nullptr)
            child->RequestPrefabRecursive();
}

void UIElementRecipe::SetResourceFlagsRecursive(uint32_t flags)
{
    SetResourceFlags(flags);
    for (UIElementRecipe* child : m_children)
        if (child != nullptr)
            child->SetResourceFlagsRecursive(flags);
}
