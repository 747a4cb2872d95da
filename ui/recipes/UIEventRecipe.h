// Event recipes: the behaviour a UI recipe attaches to one of the element's eighteen state events,
// run in place of the element's default handler. One preset applied over a time, or a sequence of
// presets played one after another on channel 0 (each preset's tweens run side by side and its
// closing wait holds the channel). Owned by their recipe; no run-time state. Main thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/NameString.h"

class UIElement;

// The base: does nothing. Its "Action" label is never stored; it comes from the class.
class UIEventRecipe : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(UIEventRecipe, RTTIPolyBaseClass)

public:
    UIEventRecipe() : m_action("Do nothing") {}

    const char* GetClassName() const { return GetClassProperties()->GetClassName(); }
    const char* GetAction() const { return m_action.CStr(); }
    // Runs the behaviour on the element; true when it did something.
    virtual bool Execute(UIElement* element) const;
    // Seconds the behaviour takes.
    virtual float GetDuration() const { return 0.0f; }

protected:
    explicit UIEventRecipe(const char* action) : m_action(action) {}

private:
    NameString m_action;
};

// Applies one preset of the element's recipe (and its children's) over a time.
class UIEventRecipePreset : public UIEventRecipe
{
    RTTI_DECLARE_CLASS(UIEventRecipePreset, UIEventRecipe)

public:
    UIEventRecipePreset() : UIEventRecipe("Apply preset with customable time") {}
    bool Execute(UIElement* element) const override;
    float GetDuration() const override { return m_time; }

    NameString m_presetName;
    float m_time = 0.0f; // seconds
};

// One step of an animation: a preset name and its time.
class UIApplyPreset : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(UIApplyPreset, RTTIPolyBaseClass)

public:
    UIApplyPreset() = default;
    UIApplyPreset(const char* presetName, float time) : m_presetName(presetName), m_time(time) {}

    NameString m_presetName;
    float m_time = 0.0f; // seconds
};

// Applies a sequence of presets, one after another, optionally for ever.
class UIEventRecipeAnimation : public UIEventRecipe
{
    RTTI_DECLARE_CLASS(UIEventRecipeAnimation, UIEventRecipe)

public:
    UIEventRecipeAnimation() : UIEventRecipe("Apply animation") {}
    bool Execute(UIElement* element) const override;
    float GetDuration() const override;

    bool m_loop = false;
    DynarraySafe<UIApplyPreset> m_presets;
};
