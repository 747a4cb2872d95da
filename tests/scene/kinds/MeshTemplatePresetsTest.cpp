// The preset index space of mesh templates: name lookups, the preset tree, overlays built from tags,
// preset copies' animation references and the targeting groups with their poses.
#include "scene/kinds/MeshTemplate.h"

#include "effects/animation/AnimationClipFixture.h"
#include "renderer/resources/ResourceAnimation.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "support/ConsoleCapture.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace
{
MeshTemplateAnimationOverlay* Overlay(std::initializer_list<const char*> tags, const char* animation, float multiplier)
{
    auto* overlay = new MeshTemplateAnimationOverlay;
    for (const char* tag : tags)
        overlay->m_tags.Add(NameString(tag));
    overlay->m_animation = NameString(animation);
    overlay->m_timeMultiplier = multiplier;
    return overlay;
}

DynarraySafe<NameString> Tags(std::initializer_list<const char*> names)
{
    DynarraySafe<NameString> tags;
    for (const char* name : names)
        tags.Add(NameString(name));
    return tags;
}

class MeshTemplatePresetsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSceneClasses();
        MeshTemplateSpec spec;
        spec.animations = {{"Walk", {}}, {"Idle", {"calm", "tense"}}};
        m_template = MeshTemplateWriter::MakeTemplate(spec);
        DynarraySafe<MeshTemplateAnimationDefinition>& animations = m_template->EditAnimations();
        animations[0].m_defaultPreset.m_time = 2.0f;
        animations[0].m_defaultPreset.m_movementSpeed = 3.0f;
        animations[0].m_presets[0].m_time = 5.0f;
        auto* list = new MeshTemplateAnimationOverlayList;
        list->m_name = NameString("Aim");
        list->m_overlays.Add(Overlay({"a"}, "Idle", 0.5f));
        list->m_overlays.Add(Overlay({"a", "b"}, "Walk", 0.0f));
        list->m_overlays.Add(Overlay({}, "", 0.001f));
        m_template->EditOverlayLists().Add(list);
        m_template->OnPostLoad(0);
    }

    std::unique_ptr<MeshTemplate> m_template;
};
} // namespace

TEST_F(MeshTemplatePresetsTest, IndexSpaceAndNameLookups)
{
    ConsoleCapture console;
    EXPECT_EQ(m_template->GetAnimations()[0].m_baseIndex, 0);
    EXPECT_EQ(m_template->GetAnimations()[1].m_baseIndex, 3);
    EXPECT_EQ(m_template->GetPresetSlotCount(), 4);
    EXPECT_EQ(m_template->GetPresetIndexEnd(), 5);
    EXPECT_EQ(m_template->GetAnimation(NameString("wALK"), NameString()), 3);
    EXPECT_EQ(m_template->GetAnimation(NameString("Idle"), NameString("tense")), 2);
    EXPECT_EQ(m_template->GetAnimation(NameString("Idle"), NameString("sleepy")), 0);
    EXPECT_EQ(m_template->GetAnimation(NameString("aim"), NameString("tense")), 4);
    EXPECT_TRUE(console.Messages().empty());
    EXPECT_EQ(m_template->GetAnimation(NameString("Run"), NameString()), -1);
    EXPECT_TRUE(console.Contains("Couldn`t find animation Run!", 4));
}

TEST_F(MeshTemplatePresetsTest, InvalidatingTheTemplateReachesItsOverlayListsAndOverlays)
{
    MeshTemplateAnimationOverlayList* const list = m_template->GetOverlayLists()[0];
    SafePointer<SafePointerRoot> toTemplate(m_template.get());
    SafePointer<SafePointerRoot> toList(list);
    SafePointer<SafePointerRoot> toLastOverlay(list->m_overlays[2]);
    EntityTemplate& base = *m_template;
    base.InvalidateSafePointers();
    EXPECT_EQ(toTemplate.Get(), nullptr);
    EXPECT_EQ(toList.Get(), nullptr);
    EXPECT_EQ(toLastOverlay.Get(), nullptr);
}

// Every definition, preset and overlay list of a larger template is found by name, and every index
// builds the preset it names: the bisections reach both ends and the middle.
TEST_F(MeshTemplatePresetsTest, EveryNameAndIndexOfALargerTemplateMeetsUp)
{
    MeshTemplateSpec spec;
    spec.animations = {{"Crouch", {"low"}}, {"Attack", {"left", "right"}}, {"Die", {}},
                       {"Run", {"fast", "slow", "limp"}}, {"Jump", {}}, {"Block", {"high"}}};
    std::unique_ptr<MeshTemplate> big = MeshTemplateWriter::MakeTemplate(spec);
    for (const char* name : {"Zoom", "Blend", "Mix", "Aim"})
    {
        auto* list = new MeshTemplateAnimationOverlayList;
        list->m_name = NameString(name);
        list->m_overlays.Add(Overlay({}, "Die", 2.0f));
        big->EditOverlayLists().Add(list);
    }
    // Overlay lists are kept sorted by name, as the definitions are.
    std::sort(big->EditOverlayLists().begin(), big->EditOverlayLists().end(),
              [](const MeshTemplateAnimationOverlayList* a, const MeshTemplateAnimationOverlayList* b) {
                  return std::strcmp(a->m_name.CStr(), b->m_name.CStr()) < 0;
              });
    big->OnPostLoad(0);
    ASSERT_EQ(big->GetPresetSlotCount(), 6 + 7);

    int32_t expected = 0;
    MeshTemplateAnimationPreset out;
    for (const MeshTemplateAnimationDefinition& definition : big->GetAnimations())
    {
        SCOPED_TRACE(definition.GetName().CStr());
        EXPECT_EQ(big->GetAnimation(definition.GetName(), NameString()), expected);
        EXPECT_EQ(big->GetPreset(definition.GetName(), NameString()), &definition.m_defaultPreset);
        big->BuildAnimationPreset(out, expected, Tags({}));
        EXPECT_EQ(out.m_name, definition.m_defaultPreset.m_name);
        ++expected;
        for (const MeshTemplateAnimationPreset& preset : definition.m_presets)
        {
            EXPECT_EQ(big->GetAnimation(definition.GetName(), preset.m_name), expected) << preset.m_name.CStr();
            big->BuildAnimationPreset(out, expected, Tags({}));
            EXPECT_EQ(out.m_name, preset.m_name);
            ++expected;
        }
    }
    for (int32_t i = 0; i < big->GetOverlayLists().Count(); ++i)
    {
        const NameString& name = big->GetOverlayLists()[i]->m_name;
        EXPECT_EQ(big->GetAnimation(name, NameString()), big->GetPresetSlotCount() + i) << name.CStr();
    }
    ConsoleCapture console;
    EXPECT_EQ(big->GetAnimation(NameString("Aaa"), NameString()), -1);
    EXPECT_EQ(big->GetAnimation(NameString("Zzz"), NameString()), -1);
    EXPECT_EQ(big->GetPreset(NameString("Zzz"), NameString()), nullptr);
}

TEST_F(MeshTemplatePresetsTest, PresetTreeResolvesNamesTheDefinitionLacks)
{
    MeshTemplateAnimationPresetTree& tree = m_template->EditPresetTree();
    MeshTemplateAnimationPresetNode node;
    node.m_name = NameString("furious");
    node.m_parent = NameString("angry");
    tree.m_nodes.Add(node);
    node.m_name = NameString("angry");
    node.m_parent = NameString("tense");
    tree.m_nodes.Add(node);
    node.m_name = NameString("loop-a");
    node.m_parent = NameString("loop-b");
    tree.m_nodes.Add(node);
    node.m_name = NameString("loop-b");
    node.m_parent = NameString("loop-a");
    tree.m_nodes.Add(node);

    const MeshTemplateAnimationDefinition& idle = m_template->GetAnimations()[0];
    EXPECT_EQ(m_template->GetPreset(NameString("idle"), NameString("furious")), &idle.m_presets[1]);
    EXPECT_EQ(m_template->GetPreset(NameString("Idle"), NameString("calm")), &idle.m_presets[0]);
    EXPECT_EQ(m_template->GetPreset(NameString("Idle"), NameString()), &idle.m_defaultPreset);
    EXPECT_EQ(m_template->GetPreset(NameString("Idle"), NameString("loop-a")), &idle.m_defaultPreset);
    EXPECT_EQ(m_template->GetPreset(NameString("Run"), NameString("calm")), nullptr);
}

TEST_F(MeshTemplatePresetsTest, OverlaysApplyWhenAllTheirTagsAreGiven)
{
    MeshTemplateAnimationOverlay out;
    const MeshTemplateAnimationOverlayList& list = *m_template->GetOverlayLists()[0];
    list.BuildOverlay(out, Tags({"a", "b"}));
    EXPECT_STREQ(out.m_animation.CStr(), "Walk");
    EXPECT_FLOAT_EQ(out.m_timeMultiplier, 0.001f);
    list.BuildOverlay(out, Tags({"b"}));
    EXPECT_STREQ(out.m_animation.CStr(), "Aim");
    EXPECT_FLOAT_EQ(out.m_timeMultiplier, 0.001f);
    list.BuildOverlay(out, Tags({"a"}));
    EXPECT_STREQ(out.m_animation.CStr(), "Idle");
}

TEST_F(MeshTemplatePresetsTest, BuildAnimationPresetCopiesAndScalesByTheOverlay)
{
    MeshTemplateAnimationPreset out;
    m_template->BuildAnimationPreset(out, 1, Tags({}));
    EXPECT_FLOAT_EQ(out.m_time, 5.0f);
    EXPECT_STREQ(out.m_name.CStr(), "calm");
    m_template->BuildAnimationPreset(out, 0, Tags({}));
    EXPECT_FLOAT_EQ(out.m_time, 2.0f);

    // Tag a alone: overlay Idle with multiplier 0.5, then the tagless one's 0.001 replaces it.
    m_template->BuildAnimationPreset(out, 4, Tags({"a"}));
    EXPECT_STREQ(out.m_name.CStr(), "Idle");
    EXPECT_FLOAT_EQ(out.m_time, 2.0f);
    EXPECT_FLOAT_EQ(out.m_movementSpeed, 3.0f);

    m_template->EditOverlayLists()[0]->m_overlays[2]->m_timeMultiplier = 0.0f;
    m_template->BuildAnimationPreset(out, 4, Tags({"a"}));
    EXPECT_FLOAT_EQ(out.m_time, 1.0f);
    EXPECT_FLOAT_EQ(out.m_movementSpeed, 6.0f);

    out.m_cooldown = 2.0f;
    out.m_removedFrames = 3;
    m_template->BuildAnimationPreset(out, 5, Tags({"a"}));
    EXPECT_TRUE(out.m_name.IsEmpty());
    EXPECT_FLOAT_EQ(out.m_time, 1.0f);
    EXPECT_FLOAT_EQ(out.m_movementSpeed, 0.0f);
    EXPECT_FLOAT_EQ(out.m_cooldown, 0.0f);
    EXPECT_EQ(out.m_removedFrames, 0u);
    m_template->BuildAnimationPreset(out, -1, Tags({}));
    EXPECT_TRUE(out.m_name.IsEmpty());
    m_template->EditOverlayLists()[0]->m_overlays[0]->m_animation = NameString("Run");
    m_template->BuildAnimationPreset(out, 4, Tags({"a"}));
    EXPECT_TRUE(out.m_name.IsEmpty()) << "an overlay naming an animation the template lacks gives none";
}

TEST_F(MeshTemplatePresetsTest, PresetCopiesKeepAnimationReferencesBalanced)
{
    ResourceAnimation animation("Animations/idle.anim");
    animation.AddRef();
    {
        DynarraySafe<MeshTemplateAnimationDefinition>& animations = m_template->EditAnimations();
        animation.AddRef();
        animations[0].m_presets[0].AdoptAnimation(&animation);
        EXPECT_EQ(animation.GetReferenceCount(), 2);
        DynarraySafe<MeshTemplateAnimationDefinition> copy = animations;
        EXPECT_EQ(animation.GetReferenceCount(), 3);
        MeshTemplateAnimationPreset built;
        m_template->BuildAnimationPreset(built, 1, Tags({}));
        EXPECT_EQ(built.GetAnimation(), &animation);
        EXPECT_EQ(&(built = copy[0].m_presets[0]), &built);
        EXPECT_EQ(animation.GetReferenceCount(), 4);
        EXPECT_EQ(MeshTemplateAnimationPreset(built).GetAnimation()->GetReferenceCount(), 5) << "a copy holds one";
        animations = copy;
        EXPECT_EQ(animation.GetReferenceCount(), 4);
    }
    // Reloaded without a resource manager, the template lets go of every clip it held.
    animation.AddRef();
    m_template->EditAnimations()[0].m_defaultPreset.AdoptAnimation(&animation);
    m_template->LoadPresetAnimations(false);
    EXPECT_EQ(animation.GetReferenceCount(), 1);
    m_template.reset();
    EXPECT_EQ(animation.GetReferenceCount(), 1);
    animation.Release();
}

TEST_F(MeshTemplatePresetsTest, UnderAResourceManagerEveryPresetHoldsItsOwnClipUntilTheTemplatesEnd)
{
    ResourceManager manager;
    ASSERT_TRUE(manager.Init());
    for (MeshTemplateAnimationDefinition& definition : m_template->EditAnimations())
        for (MeshTemplateAnimationPreset& preset : definition.m_presets)
            preset.m_fileName = NameString((std::string("Animations/") + preset.m_name.CStr() + ".anim").c_str());
    m_template->LoadPresetAnimations(false);
    const MeshTemplateAnimationDefinition& idle = m_template->EditAnimations()[0];
    ASSERT_EQ(idle.m_presets.Count(), 2);
    Resource* const tense = manager.GetResource(RESOURCE_TYPE_ANIMATION, "Animations/tense.anim", 0, false, 0);
    ASSERT_NE(tense, nullptr);
    EXPECT_EQ(idle.m_presets[1].GetAnimation(), tense);
    manager.Flush(); // the queued load lets go of its reference
    m_template.reset();
    EXPECT_EQ(tense->GetReferenceCount(), 1) << "this lookup's alone";
    tense->Release();
    manager.Close();
}

TEST_F(MeshTemplatePresetsTest, TargetingDefinitionsFormGroupsByName)
{
    MeshTemplateSpec spec;
    spec.bones = {"Hips", "Spine"};
    spec.animations = {{"targeting-aim-Center", {}}, {"targeting-aim-up", {}}, {"targeting-aim-upper", {}},
                       {"Targeting-look-LEFT", {}}, {"targeting-up", {}}, {"walk", {}}};
    std::unique_ptr<MeshTemplate> meshTemplate = MeshTemplateWriter::MakeTemplate(spec);
    for (int pass = 0; pass < 2; ++pass) // the second rebuild replaces the table, adding nothing
        meshTemplate->RebuildTargetingTable(false);
    const std::vector<MeshTargetingRecord>& table = meshTemplate->GetTargetingTable();
    ASSERT_EQ(table.size(), 2u);
    EXPECT_STREQ(table[0].name.CStr(), "aim");
    EXPECT_STREQ(table[1].name.CStr(), "look");
    // No loaded animation differs from the centre pose, so no bone gets an entry.
    EXPECT_TRUE(table[0].entries.empty());
    EXPECT_EQ(table[0].ranges[3][0], table[0].ranges[3][1]);

    m_template->RebuildTargetingTable(false);
    EXPECT_TRUE(m_template->GetTargetingTable().empty());
}

namespace
{
class MeshTemplateTargetingTest : public AnimationClipFixture
{
protected:
    // A clip whose tracks hold one rotation key each: about y by the given degrees.
    void TurnClip(const std::string& name, const std::vector<std::pair<std::string, float>>& tracks)
    {
        AnimationClipSpec spec;
        for (const auto& [bone, degrees] : tracks)
        {
            AnimationClipSpec::Track track;
            track.name = bone;
            Quaternion q;
            q.LoadYRotation(degrees);
            track.rotation.push_back({0.0f, Vector(q.x, q.y, q.z, q.w)});
            spec.tracks.push_back(track);
        }
        Write(name, spec);
    }
};
} // namespace

TEST_F(MeshTemplateTargetingTest, DirectionsStoreTheirTurnFromTheCentreAsTheClipsFirstKeys)
{
    TurnClip("aimcenter", {{"Arm", 10.0f}, {"Hand", 5.0f}});
    TurnClip("aimleft", {{"Arm", 40.0f}, {"Hand", 5.0f}, {"Tail", 90.0f}});
    TurnClip("aimup", {{"Root", -20.0f}});
    MeshTemplateSpec spec;
    spec.bones = {"Root", "Arm", "Hand"};
    spec.clips = {{"targeting-aim-center", "aimcenter"}, {"targeting-aim-left", "aimleft"}, {"targeting-aim-up", "aimup"}};
    std::unique_ptr<MeshTemplate> meshTemplate = MeshTemplateWriter::MakeTemplate(spec);
    for (const MeshTemplateAnimationDefinition& definition : meshTemplate->GetAnimations())
        if (Resource* clip = definition.m_defaultPreset.GetAnimation())
            clip->WaitUntilLoaded(false);
    meshTemplate->RebuildTargetingTable(false);
    const std::vector<MeshTargetingRecord>& table = meshTemplate->GetTargetingTable();
    ASSERT_EQ(table.size(), 1u);
    const MeshTargetingRecord& aim = table[0];
    // Up: Root turned -20 from the centre's identity, Arm turned back by the centre's 10, Hand back
    // by 5. Left: Arm turned 30 more than the centre; the Hand as in the centre and the Tail that
    // the skeleton lacks give nothing. Down and right have no clip and hold the identity, so they
    // undo the centre pose.
    struct Expected
    {
        int direction;
        const char* bone;
        float degrees;
    };
    const Expected expected[] = {{0, "Root", -20.0f}, {0, "Arm", -10.0f}, {0, "Hand", -5.0f},
                                 {1, "Arm", -10.0f},  {1, "Hand", -5.0f}, {2, "Arm", 30.0f},
                                 {3, "Arm", -10.0f},  {3, "Hand", -5.0f}};
    ASSERT_EQ(aim.entries.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
    {
        SCOPED_TRACE(i);
        const MeshTargetingRecord::Entry& entry = aim.entries[i];
        EXPECT_STREQ(entry.bone.CStr(), expected[i].bone);
        EXPECT_GE(i, aim.ranges[expected[i].direction][0]);
        EXPECT_LT(i, aim.ranges[expected[i].direction][1]);
        Quaternion turn;
        turn.LoadYRotation(expected[i].degrees);
        EXPECT_NEAR(entry.rotation.y, turn.y, 2e-4f);
        EXPECT_NEAR(entry.rotation.w, turn.w, 2e-4f);
    }
}
