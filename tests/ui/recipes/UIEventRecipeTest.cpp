// Event recipes on elements built from a recipe: the recipe's sounds for an event heard through the
// sound engine stand-in, behaviours run in place of the default handlers (not for instant changes),
// animations queued preset after preset on channel 0, the enabled and disabled presets, and preset
// application down the tree.
#include "ui/recipes/UIEventRecipe.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "support/SoundTestHarness.h"
#include "ui/elements/UIElement.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/widgets/UIActionKinds.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> gDefaults;

class RecordingElement : public UIElement
{
public:
    bool DefaultOnPress(bool instant) override
    {
        gDefaults.push_back(instant ? "press instant" : "press");
        return UIElement::DefaultOnPress(instant);
    }
    bool DefaultOnUnPress(bool instant) override
    {
        gDefaults.push_back("unpress");
        return UIElement::DefaultOnUnPress(instant);
    }
    bool FollowsParentEnableState() const override { return follows; }
    bool follows = false;
};

UIElementPreset* MakePreset(const char* id, const char* active, const Vector& position, const Vector& scale)
{
    auto* preset = new UIElementPreset;
    preset->SetId(id);
    preset->GetActiveProperties().Add(NameString(active));
    preset->m_position = position;
    preset->m_scale = scale;
    return preset;
}

// "kind duration flags" of each action on the channel.
std::vector<std::string> EventActions(const UIElement& element, uint32_t channel)
{
    std::vector<std::string> out;
    for (const UIAction* a = element.GetFirstAction(channel); a != nullptr; a = a->GetNext())
    {
        const char* kind = dynamic_cast<const UIActionMove*>(a)         ? "move"
                           : dynamic_cast<const UIActionScale*>(a)      ? "scale"
                           : dynamic_cast<const UIActionChangeSize*>(a) ? "size"
                                                                        : "wait";
        char text[64];
        std::snprintf(text, sizeof(text), "%s %g %#x", kind, double(a->GetDuration()), a->GetFlags());
        out.push_back(text);
    }
    return out;
}

using Strings = std::vector<std::string>;

class UIEventRecipeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gDefaults.clear();
        recipe.AddPreset(MakePreset("PRESSED", "Position", Vector(50, 0, 0, 1), Vector(1, 1, 1, 0)));
        recipe.AddPreset(MakePreset("A", "Position", Vector(10, 0, 0, 1), Vector(1, 1, 1, 0)));
        recipe.AddPreset(MakePreset("B", "Scale", Vector(0, 0, 0, 1), Vector(3, 3, 1, 0)));
        recipe.AddPreset(MakePreset("ENABLED", "Scale", Vector(0, 0, 0, 1), Vector(2, 2, 1, 0)));
        recipe.AddPreset(MakePreset("DISABLED", "Scale", Vector(0, 0, 0, 1), Vector(0.5f, 0.5f, 1, 0)));
        element->SetRecipe(&recipe, nullptr);
    }
    void TearDown() override { element->Release(); }

    UIElementRecipe recipe;
    RecordingElement* element = new RecordingElement;
};

class UIEventRecipeSoundTest : public UIEventRecipeTest
{
protected:
    void SetUp() override
    {
        UIEventRecipeTest::SetUp();
        os::EnableManualCounter(1000 * os::kCounterFrequency);
        ASSERT_TRUE(m_sound.Start());
        for (int i = 0; i < 5000 && m_sound.Engine().GetCycleCount() == 0; ++i)
            os::Sleep(1);
        for (const char* entry : {"Click", "Pop"})
        {
            SoundEntryParams params;
            params.AddSound((std::string(entry) + ".wav").c_str());
            params.Attenuate = false; // UI sounds play with no entity
            ASSERT_TRUE(gSoundEntriesContainer.AddSoundEntry(entry, params));
        }
    }
    void TearDown() override
    {
        UIEventRecipeTest::TearDown();
        gSoundEntriesContainer.RemoveAllSoundEntries();
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        m_sound.Engine().Flush();
        os::DisableManualCounter();
    }
    // The names of the instances started since the last call.
    Strings Heard()
    {
        Strings names;
        for (const auto& instance : m_sound.Instances())
            names.push_back(instance.name);
        m_sound.Engine().StopSound(kAllSoundInstances, 0.0f, nullptr);
        m_sound.Engine().Flush();
        return names;
    }

    SoundTestHarness m_sound;
};

TEST_F(UIEventRecipeSoundTest, AnEventPlaysItsSoundsInOrderThenItsBehaviourInPlaceOfTheDefault)
{
    recipe.AddEventSound(UIElementRecipe::EVENT_PRESS, "Click");
    recipe.AddEventSound(UIElementRecipe::EVENT_HIGHLIGHT, "Click");
    recipe.AddEventSound(UIElementRecipe::EVENT_PRESS, "Pop");
    recipe.AddEventSound(UIElementRecipe::EVENT_UNPRESS, "Pop");
    auto* press = new UIEventRecipePreset;
    press->m_presetName = NameString("PRESSED");
    recipe.SetEventRecipe(UIElementRecipe::EVENT_PRESS, press);

    EXPECT_TRUE(element->OnPress(false));
    EXPECT_EQ(Heard(), (Strings{"Click.wav", "Pop.wav"}));
    EXPECT_TRUE(gDefaults.empty());
    // Time 0: the preset's values are set at once.
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 50.0f);
    EXPECT_TRUE(EventActions(*element, 0).empty());

    // The unpress event has no behaviour of its own here: its sound, then the default.
    EXPECT_FALSE(element->OnUnPress(false));
    EXPECT_EQ(Heard(), (Strings{"Pop.wav"}));
    EXPECT_EQ(gDefaults, (Strings{"unpress"}));

    // Instant changes take the recipe's state silently.
    gDefaults.clear();
    element->SetPosition(Vector(0, 0, 0, 1));
    EXPECT_FALSE(element->OnPress(true));
    EXPECT_TRUE(Heard().empty());
    EXPECT_EQ(gDefaults, (Strings{"press instant"}));
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 0.0f);

    // The unpress behaviour is the press behaviour (one field, as their keys share it): the
    // release still plays its sound and runs the default.
    auto* unpress = new UIEventRecipePreset;
    unpress->m_presetName = NameString("A");
    recipe.SetEventRecipe(UIElementRecipe::EVENT_UNPRESS, unpress);
    EXPECT_EQ(recipe.GetEventRecipe(UIElementRecipe::EVENT_PRESS), unpress);
    gDefaults.clear();
    EXPECT_FALSE(element->OnUnPress(false));
    EXPECT_EQ(gDefaults, (Strings{"unpress"}));
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 0.0f);
    EXPECT_EQ(Heard(), (Strings{"Pop.wav"}));

    // Each forwarder runs the behaviour of its own event, never a neighbour's or the default; the
    // unpress forwarder never finds one.
    bool (UIElement::*const forwarders[])(bool) = {
        &UIElement::OnShow, &UIElement::OnHide, &UIElement::OnEnable, &UIElement::OnSelect, &UIElement::OnUnselect,
        &UIElement::OnHighlight, &UIElement::OnSHighlight, &UIElement::OnPress, &UIElement::OnUnPress,
        &UIElement::OnFocus, &UIElement::OnDisable, &UIElement::OnDSelect, &UIElement::OnDUnselect,
        &UIElement::OnDHighlight, &UIElement::OnDSHighlight, &UIElement::OnDPress, &UIElement::OnDUnPress,
        &UIElement::OnDFocus};
    for (uint32_t event = 0; event < UIElementRecipe::EVENT_COUNT; ++event)
    {
        auto* behaviour = new UIEventRecipePreset;
        behaviour->m_presetName = NameString("A");
        recipe.SetEventRecipe(event, behaviour);
        element->SetPosition(Vector(0, 0, 0, 1));
        const bool own = event != UIElementRecipe::EVENT_UNPRESS;
        EXPECT_EQ(std::invoke(forwarders[event], *element, false), own) << "event " << event;
        EXPECT_FLOAT_EQ(element->GetRenderPosition().x, own ? 10.0f : 0.0f) << "event " << event;
        recipe.SetEventRecipe(event, nullptr);
    }
}

TEST_F(UIEventRecipeTest, AnAnimationQueuesItsPresetsOnChannelZeroAndOnlyTheFirstClearsIt)
{
    UIEventRecipeAnimation animation;
    animation.m_presets.Add(UIApplyPreset("A", 0.2f));
    animation.m_presets.Add(UIApplyPreset("B", 0.3f));
    animation.m_presets.Add(UIApplyPreset("MISSING", 0.5f));
    EXPECT_FLOAT_EQ(animation.GetDuration(), 1.0f);
    element->Wait(9.0f, 0, 0);
    EXPECT_TRUE(animation.Execute(element));
    EXPECT_EQ(EventActions(*element, 0),
              (Strings{"move 0.2 0xa0", "size 0.2 0xa0", "wait 0.2 0x20", "scale 0.3 0xa0", "wait 0.3 0x20"}));

    // An unnamed first entry is skipped and clears nothing; a loop hands on the repeat bit.
    UIEventRecipeAnimation looped;
    looped.m_loop = true;
    looped.m_presets.Add(UIApplyPreset("", 0.4f));
    looped.m_presets.Add(UIApplyPreset("B", 0.1f));
    EXPECT_FLOAT_EQ(looped.GetDuration(), 0.5f);
    element->RemoveAllActions(0);
    element->Wait(9.0f, 0, 0);
    EXPECT_TRUE(looped.Execute(element));
    EXPECT_EQ(EventActions(*element, 0), (Strings{"wait 9 0", "scale 0.1 0xa8", "wait 0.1 0x28"}));

    UIEventRecipeAnimation nothing;
    nothing.m_presets.Add(UIApplyPreset("MISSING", 0.4f));
    EXPECT_FALSE(nothing.Execute(element));
    EXPECT_FALSE(UIEventRecipePreset().Execute(element));
    EXPECT_FALSE(UIEventRecipe().Execute(element));
}

TEST_F(UIEventRecipeTest, EnableAndDisableApplyTheirPresetsAndHidingWaitsForTheHideBehaviour)
{
    element->SetEnable(false, false);
    EXPECT_EQ(EventActions(*element, 0), (Strings{"scale 0.1 0xa0", "wait 0.1 0x20"}));
    element->SetEnable(true, true);
    EXPECT_FLOAT_EQ(element->GetRenderScale().x, 2.0f);
    element->Wait(9.0f, 0, 0);
    // Disabling clears the channel first.
    element->SetEnable(false, true);
    EXPECT_TRUE(EventActions(*element, 0).empty());
    EXPECT_FLOAT_EQ(element->GetRenderScale().x, 0.5f);

    auto* hide = new UIEventRecipeAnimation;
    hide->m_presets.Add(UIApplyPreset("A", 0.25f));
    hide->m_presets.Add(UIApplyPreset("", 0.5f));
    recipe.SetEventRecipe(UIElementRecipe::EVENT_HIDE, hide);
    UIElement* child = new UIElement;
    element->AddChild(child);
    child->SetRecipe(&recipe, nullptr);
    EXPECT_FLOAT_EQ(element->GetHideDuration(), 1.5f);
}

TEST_F(UIEventRecipeTest, PresetsReachChildrenThatDoNotFollowTheirParentAndLaidOutOnesKeepTheirPlace)
{
    UIElementRecipe other;
    other.AddPreset(MakePreset("A", "Position", Vector(70, 0, 0, 1), Vector(1, 1, 1, 0)));
    RecordingElement* mid = new RecordingElement;
    RecordingElement* follower = new RecordingElement;
    follower->follows = true;
    UIElement* bare = new UIElement;
    RecordingElement* laidOut = new RecordingElement;
    element->AddChild(mid);
    element->AddChild(follower);
    element->AddChild(bare);
    mid->AddChild(laidOut);
    for (UIElement* e : {static_cast<UIElement*>(mid), static_cast<UIElement*>(follower),
                         static_cast<UIElement*>(laidOut)})
        e->SetRecipe(&other, nullptr);
    element->RaiseFlag(UIFLAG_AUTOLAYOUT);

    EXPECT_TRUE(element->ApplyRecipePreset("A", true, 0.0f, 0, 0, false, false));
    EXPECT_FLOAT_EQ(element->GetRenderPosition().x, 10.0f);
    EXPECT_FLOAT_EQ(mid->GetRenderPosition().x, 70.0f);
    EXPECT_FLOAT_EQ(follower->GetRenderPosition().x, 0.0f);
    EXPECT_FLOAT_EQ(laidOut->GetRenderPosition().x, 0.0f); // its grandparent lays it out

    // Without a recipe nothing applies, also not below; a child alone still reports its own.
    EXPECT_FALSE(bare->ApplyRecipePreset("A", true, 0.0f, 0, 0, false, false));
    element->SetRecipe(nullptr, nullptr);
    EXPECT_FALSE(element->ApplyRecipePreset("A", true, 0.0f, 0, 0, false, false));
    EXPECT_TRUE(mid->ApplyRecipePreset("A", false, 0.0f, 0, 0, false, false));
}
} // namespace
