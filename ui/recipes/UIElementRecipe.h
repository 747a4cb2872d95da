// UIElementRecipe: the stored description of one UI widget (transform, colour, flags, named presets,
// event behaviours and sounds, child recipes) and the base of every recipe kind. Its property table
// is also its serialized form. Elements built from a recipe keep a pointer to it (never owning it):
// their state events play its sounds and run its event recipes, and scripts apply its presets.
//
// A kind derives from it, adds its own rows in its table, names and creates its widget and writes
// its own values after the base ones (ApplyToElement). Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/HDRColor.h"
#include "core/math/Vector.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"
#include "ui/recipes/UIElementPreset.h"

#include <cstddef>
#include <cstdint>

class EntityTemplate;
class UIElement;
class UIEventRecipe;
class UIProperties;

// The base recipe: builds a plain UIElement.
class UIElementRecipe : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(UIElementRecipe, RTTIPolyBaseClass)

public:
    // The element events in their order; also the index of the event recipes and event sounds.
    enum Event : uint32_t
    {
        EVENT_SHOW = 0,
        EVENT_HIDE,
        EVENT_ENABLE,
        EVENT_SELECT,
        EVENT_UNSELECT,
        EVENT_HIGHLIGHT,
        EVENT_SHIGHLIGHT,
        EVENT_PRESS,
        EVENT_UNPRESS,
        EVENT_FOCUS,
        EVENT_DISABLE,
        EVENT_DSELECT,
        EVENT_DUNSELECT,
        EVENT_DHIGHLIGHT,
        EVENT_DSHIGHLIGHT,
        EVENT_DPRESS,
        EVENT_DUNPRESS,
        EVENT_DFOCUS,
        EVENT_COUNT,
    };
    // "Anchor by".
    enum AnchorBy : uint32_t
    {
        ANCHOR_BY_CENTER = 0,
        ANCHOR_BY_ANCHOR = 1,
    };
    // "Disabled": whether a build makes the element.
    enum DisabledMode : uint32_t
    {
        DISABLED_NO = 0,
        DISABLED_YES = 1,
        DISABLED_IN_GAME = 2,
    };
    // Element flags set from the recipe's two clip switches (they have no script constant).
    static constexpr uint32_t kClipChildrenFlag = 0x4000000u;
    static constexpr uint32_t kStencilClipChildrenFlag = 0x80000000u;
    // Action flag: apply the recipe's own state even without presets or the old behaviour.
    static constexpr uint32_t kResetIfNoPresetFlag = 0x100u;
    // Characters of the prefab path and name buffers, terminator included.
    static constexpr size_t kPrefabBufferSize = 260;

    UIElementRecipe();
    // Deletes the children, the presets, each event recipe once and the sound records.
    ~UIElementRecipe() override;
    UIElementRecipe(const UIElementRecipe&) = delete;
    UIElementRecipe& operator=(const UIElementRecipe&) = delete;

    // The recipe's class name as its table names it ("UIElementRecipe" for the base).
    const char* GetClassName() const { return GetClassProperties()->GetClassName(); }

    // ---- The kinds' operations ----
    virtual void LoadResources() {}
    virtual void ReleaseResources() {}
    // Asks the template manager to start loading the template the prefab names.
    virtual bool RequestPrefab();
    virtual void SetResourceFlags(uint32_t flags) { (void)flags; }
    virtual const char* GetWidgetClassName() const { return "UIElement"; }
    // Writes the recipe's values into a widget; kinds run their base kind's part first.
    virtual void ApplyToElement(UIElement* element, UIProperties& properties, uint32_t buildFlags);
    // A new widget of the kind's class, or null for a kind that builds none.
    virtual UIElement* CreateWidget() const;
    virtual void CycleDisabledMode();
    // The named preset, or (see ApplyDefaultState) the recipe's own state; false when neither applies.
    virtual bool ApplyPreset(const char* name, UIElement* element, float time, uint32_t actionFlags, uint32_t channel,
                             bool clearChannel, bool allProperties);
    // The recipe's own Hidden, Position, Size, Scale, Rotation and Color.
    virtual void ApplyDefaultState(UIElement* element, float time, uint32_t actionFlags, uint32_t channel,
                                   bool clearChannel);
    // A new recipe of the same kind with the kind's defaults.
    virtual UIElementRecipe* CreateRecipe() const { return new UIElementRecipe; }
    virtual UIElementPreset* CreatePreset() const { return new UIElementPreset; }

    // ---- Building (ui/recipes/UIRecipeBuild.cpp) ----
    // The recipe's element with its subtree, linked to the recipe and the layout asset; null when
    // its presence mode excludes it from a build with these flags or its kind builds nothing.
    // Text elements bind to `properties` (null: the global container).
    static UIElement* CreateElement(UIElementRecipe* recipe, EntityTemplate* recipeTemplate, uint32_t buildFlags,
                                    UIProperties* properties);
    // Builds each child recipe in order and attaches the elements made to `parent`.
    static void CreateChildren(UIElementRecipe* recipe, UIElement* parent, EntityTemplate* recipeTemplate,
                               uint32_t buildFlags, UIProperties* properties);

    // ---- Lookups ----
    // Depth first, this recipe first; null when no recipe has the name.
    UIElementRecipe* FindByName(const NameString& name);
    // The first preset whose Id is the text (case-sensitive); presets without an Id never match.
    UIElementPreset* FindPreset(const char* id) const;
    // Whether any preset lists the name among its active properties.
    bool HasActiveProperty(const char* name) const;
    // The named preset when there is one, else the recipe itself; returns the target's table.
    RTTIPropertiesBase* ResolvePresetOrRecipe(const char* presetName, RTTIPolyBaseClass*& target);
    // Plays the sound entry of every sound record of the event, in list order, with no entity.
    void PlayEventSounds(uint32_t eventId) const;
    // The template path and the recipe name the prefab names; false (and empty) without a prefab.
    bool GetPrefabPath(char (&path)[kPrefabBufferSize]) const;
    bool GetPrefabName(char (&name)[kPrefabBufferSize]) const;
    // The event recipe of an event (0 to 17), or null; always null for the unpress event, whose key
    // shares the press field.
    UIEventRecipe* GetEventRecipe(uint32_t eventId) const;
    // Takes ownership of the event recipe (the old one is deleted); the unpress event, like its key,
    // sets the press behaviour.
    void SetEventRecipe(uint32_t eventId, UIEventRecipe* eventRecipe);

    // ---- Tree walks: this recipe, then each child's subtree in order ----
    void LoadResourcesRecursive();
    void ReleaseResourcesRecursive();
    void RequestPrefabRecursive();
    void SetResourceFlagsRecursive(uint32_t flags);

    // ---- Contents ----
    // Take ownership.
    void AddChild(UIElementRecipe* child) { m_children.Add(child); }
    // Moves the children to the end of `into`, which owns them from then on.
    void TakeChildren(Dynarray<UIElementRecipe*>& into);
    void AddPreset(UIElementPreset* preset) { m_presets.Add(preset); }
    void AddEventSound(uint32_t eventId, const char* sound) { m_eventSounds.Add(UIElementSoundReponse(eventId, sound)); }
    const Dynarray<UIElementRecipe*>& GetChildren() const { return m_children; }
    const Dynarray<UIElementPreset*>& GetPresets() const { return m_presets; }
    const DynarraySafe<UIElementSoundReponse>& GetEventSounds() const { return m_eventSounds; }

    // The values, public as the records fill them.
    NameString m_name;
    NameString m_prefab;
    Vector m_position{0.0f, 0.0f, 0.0f, 1.0f};
    Vector m_anchor{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_rotation{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_scale{1.0f, 1.0f, 1.0f, 0.0f};
    Vector m_size{64.0f, 64.0f, 0.0f, 0.0f};
    Vector m_selectionFrame{0.0f, 0.0f, 0.0f, 0.0f};
    HDRColor m_color{255, 255, 255, 255, 1.0f};
    uint32_t m_colorMode = 1;
    uint32_t m_blendMode = 1;
    uint32_t m_aspectAwareness = 0;
    uint32_t m_aspectScaling = 0;
    uint32_t m_disabled = DISABLED_NO;
    uint32_t m_modal = 0;
    uint32_t m_outline = 0;
    uint32_t m_anchorBy = ANCHOR_BY_ANCHOR;
    bool m_freezedLayout = false;
    bool m_hidden = false;
    bool m_transparent = false;
    bool m_hierarchicalAnchor = true;
    bool m_focusableWithMouse = false;
    bool m_clipChildren = false;
    bool m_stencilClipChildren = false;
    bool m_autoLayout = false;

private:
    Dynarray<UIElementPreset*> m_presets;
    Dynarray<UIElementRecipe*> m_children;
    // One field per event but unpress; kEventFields gives the field each key reads and writes.
    UIEventRecipe* m_onShow = nullptr;
    UIEventRecipe* m_onHide = nullptr;
    UIEventRecipe* m_onEnable = nullptr;
    UIEventRecipe* m_onSelect = nullptr;
    UIEventRecipe* m_onUnselect = nullptr;
    UIEventRecipe* m_onHighlight = nullptr;
    UIEventRecipe* m_onSHighlight = nullptr;
    UIEventRecipe* m_onPress = nullptr;
    UIEventRecipe* m_onFocus = nullptr;
    UIEventRecipe* m_onDisable = nullptr;
    UIEventRecipe* m_onDSelect = nullptr;
    UIEventRecipe* m_onDUnselect = nullptr;
    UIEventRecipe* m_onDHighlight = nullptr;
    UIEventRecipe* m_onDSHighlight = nullptr;
    UIEventRecipe* m_onDPress = nullptr;
    UIEventRecipe* m_onDUnPress = nullptr;
    UIEventRecipe* m_onDFocus = nullptr;
    static UIEventRecipe* UIElementRecipe::*const kEventFields[EVENT_COUNT];
    DynarraySafe<UIElementSoundReponse> m_eventSounds;
};
