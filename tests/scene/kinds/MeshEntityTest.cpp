// ctest-labels: thread
// Mesh entities: shader preset selection, render flags from the mesh switches, colour forwarding,
// optimizability, template refreshes, and the hierarchy operations' results and messages.
#include "scene/kinds/MeshEntity.h"

#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "online/ReplicatedAnimState.h"
#include "renderer/MeshEntityRenderingContext.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"
#include "support/TemplateTestSupport.h"
#include "tools/datakit/MeshTemplateWriter.h"

// A mesh entity kind of a game layer.
class DerivedMeshEntity : public MeshEntity
{
    RTTI_DECLARE_CLASS(DerivedMeshEntity, MeshEntity)
};
RTTI_DEFINE_CLASS_TABLE(DerivedMeshEntity, MeshEntity)
void DerivedMeshEntity::BuildClassProperties(RTTIPropertiesBase&) {}

namespace
{
class MeshEntityTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        MeshEntity::SetGlobalShaderPreset(NameString());
        m_renderer.SubmitCommands(true);
        m_templates.clear();
        RendererTestBase::TearDown();
    }
    MeshTemplate* Template(MeshTemplateSpec spec)
    {
        m_templates.push_back(MeshTemplateWriter::MakeTemplate(spec));
        return m_templates.back().get();
    }
    MeshEntity* Create(MeshTemplate* meshTemplate)
    {
        return static_cast<MeshEntity*>(gEntityManager.CreateEntity(meshTemplate, nullptr, Matrix::ONE, 0, nullptr));
    }
    // Everything posted so far has run on the render thread.
    void Sync()
    {
        RunOnRenderThread(m_renderer, [](NorvexRenderer&) {});
    }
    static bool Set(RTTIPolyBaseClass& object, const char* name, const char* text)
    {
        const RTTIProperty* property = object.GetClassProperties()->FindPropertyInClassChain(name);
        return property != nullptr && property->SetFromText(&object, text);
    }

    std::vector<std::unique_ptr<MeshTemplate>> m_templates;
};
} // namespace

TEST_F(MeshEntityTest, ShaderPresetNamesFallBackToDefaultThenToTheFirst)
{
    MeshTemplateSpec spec;
    spec.shaderPresets = {"Snow", "Default"};
    MeshTemplate* meshTemplate = Template(spec);
    MeshTemplateAnimationPresetNode angry;
    angry.m_name = NameString("angry");
    meshTemplate->EditPresetTree().m_nodes.Add(angry);
    MeshEntity* entity = Create(meshTemplate);
    ASSERT_NE(entity, nullptr);
    MeshEntityRenderingContext* context = entity->GetMeshRenderingContext();
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(Set(*entity, "Shader preset", "Snow"));
    EXPECT_EQ(entity->GetShaderPresetIndex(), 0);
    ASSERT_TRUE(Set(*entity, "Shader preset", "Rain"));
    EXPECT_EQ(entity->GetShaderPresetIndex(), 1);
    EXPECT_TRUE(entity->HasShaderPreset(NameString("Snow")));
    EXPECT_FALSE(entity->HasShaderPreset(NameString("Rain")));
    Sync();
    EXPECT_EQ(context->GetShaderPresetIndex(), 1u);
    entity->RecreateRenderingContext(true);
    Sync();
    EXPECT_EQ(entity->GetMeshRenderingContext()->GetShaderPresetIndex(), 1u) << "a rebuilt context keeps it";
    entity->TemporarySetShaderPreset("snow", false);
    EXPECT_EQ(entity->GetShaderPresetIndex(), 0);
    entity->TemporarySetShaderPreset("rain", false);
    EXPECT_EQ(entity->GetShaderPresetIndex(), 1);
    DynarraySafe<NameString> choices;
    entity->GetPropertyChoices("Shader preset", choices);
    ASSERT_EQ(choices.Count(), 2);
    EXPECT_STREQ(choices[1].CStr(), "Default");
    choices.Clear();
    entity->GetPropertyChoices("Animation preset", choices);
    ASSERT_EQ(choices.Count(), 2);
    EXPECT_STREQ(choices[1].CStr(), "angry");

    spec.shaderPresets = {"A", "B"};
    MeshEntity* other = Create(Template(spec));
    ASSERT_TRUE(Set(*other, "Shader preset", "B"));
    EXPECT_EQ(other->GetShaderPresetIndex(), 1);
    ASSERT_TRUE(Set(*other, "Shader preset", "Rain"));
    EXPECT_EQ(other->GetShaderPresetIndex(), 0);
}

TEST_F(MeshEntityTest, CustomPresetWinsWhileSetAndAnUnknownNameRestoresNormalSelection)
{
    MeshTemplateSpec spec;
    spec.shaderPresets = {"Default", "Snow"};
    MeshEntity* entity = Create(Template(spec));
    entity->SetCustomTemporaryShaderPreset("snow");
    entity->TemporarySetShaderPreset(NameString("Default"), true);
    EXPECT_EQ(entity->GetShaderPresetIndex(), 1);
    entity->TemporarySetShaderPreset("DEFAULT", false);
    EXPECT_EQ(entity->GetShaderPresetIndex(), 0);
    entity->TemporarySetShaderPreset("DEFAULT", true);
    EXPECT_EQ(entity->GetShaderPresetIndex(), 1);
    entity->SetCustomTemporaryShaderPreset("Mud");
    EXPECT_EQ(entity->GetCustomShaderPresetIndex(), MeshEntity::kNoCustomPreset);
    entity->TemporarySetShaderPreset(NameString("Default"), true);
    EXPECT_EQ(entity->GetShaderPresetIndex(), 0);
    entity->TemporarySetShaderPreset("snow", true);
    EXPECT_EQ(entity->GetShaderPresetIndex(), 1);
    Sync();
    EXPECT_EQ(entity->GetMeshRenderingContext()->GetShaderPresetIndex(), 1u);
}

TEST_F(MeshEntityTest, PresetForAllMeshesLeavesMeshesWithoutItAlone)
{
    MeshTemplateSpec spec;
    spec.shaderPresets = {"Snow", "Default"};
    MeshEntity* snowy = Create(Template(spec));
    ASSERT_TRUE(Set(*snowy, "Shader preset", "Default"));
    spec.shaderPresets = {"Default", "Rock"};
    MeshEntity* rocky = Create(Template(spec));
    ASSERT_TRUE(Set(*rocky, "Shader preset", "Rock"));
    MeshEntity::TemporarySetShaderPresetForAllMeshes(NameString("Snow"), false);
    EXPECT_EQ(snowy->GetShaderPresetIndex(), 0);
    EXPECT_EQ(rocky->GetShaderPresetIndex(), 1);
    EXPECT_STREQ(MeshEntity::GetGlobalShaderPreset().CStr(), "Snow");
    // A mesh made meanwhile selects the global preset.
    spec.shaderPresets = {"Snow", "Default"};
    MeshEntity* late = Create(Template(spec));
    EXPECT_EQ(late->GetShaderPresetIndex(), 0);
    MeshEntity::ReturnAllMeshesToDefaultShaderPreset();
    EXPECT_TRUE(MeshEntity::GetGlobalShaderPreset().IsEmpty());
    EXPECT_EQ(snowy->GetShaderPresetIndex(), 1);
    EXPECT_EQ(rocky->GetShaderPresetIndex(), 1);
    EXPECT_EQ(late->GetShaderPresetIndex(), 1);
    // A custom preset, when asked for, wins over the global one.
    snowy->SetCustomTemporaryShaderPreset("Snow");
    MeshEntity::TemporarySetShaderPresetForAllMeshes(NameString("Default"), true);
    EXPECT_EQ(snowy->GetShaderPresetIndex(), 0);
    EXPECT_EQ(rocky->GetShaderPresetIndex(), 0);
}

// A preset a script set for one scene does not reach the meshes of the next.
TEST_F(MeshEntityTest, NewAndDestroyedScenesDropTheGlobalPreset)
{
    MeshTemplateSpec spec;
    spec.shaderPresets = {"Default", "Snow"};
    MeshTemplate* snowTemplate = Template(spec);
    for (const bool destroy : {false, true})
    {
        Create(snowTemplate);
        MeshEntity::TemporarySetShaderPresetForAllMeshes(NameString("Snow"), false);
        if (destroy)
        {
            gEntityManager.DestroyScene();
            EXPECT_TRUE(MeshEntity::GetGlobalShaderPreset().IsEmpty());
        }
        gEntityManager.NewScene();
        EXPECT_TRUE(MeshEntity::GetGlobalShaderPreset().IsEmpty()) << destroy;
        EXPECT_EQ(Create(snowTemplate)->GetShaderPresetIndex(), 0) << destroy;
    }
}

TEST_F(MeshEntityTest, RenderFlagsFollowTheMeshSwitchesAndKeep0x200)
{
    MeshTemplateSpec spec;
    spec.renderSwitches[0] = 1;
    spec.renderSwitches[1] = 1;
    spec.renderSwitches[2] = 1;
    spec.renderSwitches[3] = 1;
    MeshEntity* all = Create(Template(spec));
    EXPECT_EQ(all->GetRenderFlags() & 0x2E0u, 0x2E0u);

    spec.renderSwitches[0] = 0;
    spec.renderSwitches[3] = 0;
    MeshEntity* some = Create(Template(spec));
    some->SetRenderFlags(some->GetRenderFlags() | 0x40 | 0x200);
    some->RecreateRenderingContext(true);
    EXPECT_EQ(some->GetRenderFlags() & 0x2E0u, 0x2A0u);

    spec.withMeshData = false;
    MeshEntity* bare = Create(Template(spec));
    bare->SetRenderFlags(bare->GetRenderFlags() | 0xE0);
    bare->RecreateRenderingContext(true);
    EXPECT_EQ(bare->GetRenderFlags() & 0xE0u, 0u);
    ASSERT_NE(bare->GetMeshRenderingContext(), nullptr);
    EXPECT_EQ(bare->GetMeshRenderingContext()->GetRenderingData(), nullptr);
}

TEST_F(MeshEntityTest, LocalColorGoesToTheContextOnlyWhenItChanges)
{
    MeshEntity* entity = Create(Template(MeshTemplateSpec()));
    ASSERT_TRUE(Set(*entity, "Local color", "255 0 0 255 2"));
    Sync();
    const Vector color = entity->GetMeshRenderingContext()->GetColorMultiplier();
    EXPECT_GT(color.x, 1.0f);
    EXPECT_FLOAT_EQ(color.y, 0.0f);
    EXPECT_EQ(entity->GetLocalColor().multiplier, 2.0f);
    ASSERT_TRUE(Set(*entity, "Local color", "255 0 0 128 2"));
    EXPECT_EQ(entity->GetLocalColor().a, 128);
    entity->SetFakeShadowStrength(0.25f);
    entity->SetEntityOutlineState(3);
    entity->SetLocalScale(Vector(-1, 1, 1, 1));
    LightmapMapping lightmap;
    lightmap.m_lightmapId = 7;
    entity->SetLightmapMapping(lightmap);
    Sync();
    EXPECT_EQ(entity->GetMeshRenderingContext()->GetLightmapMapping().m_lightmapId, 7u);
    EXPECT_FLOAT_EQ(entity->GetMeshRenderingContext()->GetFakeShadowStrength(), 0.25f);
    EXPECT_EQ(entity->GetMeshRenderingContext()->GetOutlineState(), 3);
    EXPECT_TRUE(entity->GetMeshRenderingContext()->IsMirrored());
    entity->RecreateRenderingContext(true);
    Sync();
    EXPECT_TRUE(entity->GetMeshRenderingContext()->IsMirrored()) << "a new context too";
}

TEST_F(MeshEntityTest, AnimationTagsAreKeptOnceEachAndRemovedWhereverTheyStand)
{
    MeshEntity* entity = Create(Template(MeshTemplateSpec()));
    for (const char* tag : {"calm", "tense", "calm"})
        entity->AddAnimationTag(NameString(tag));
    ASSERT_EQ(entity->GetAnimationTags().Count(), 2);
    entity->RemoveAnimationTag(NameString("calm"));
    EXPECT_EQ(entity->GetAnimationTags().Count(), 1);
}

TEST_F(MeshEntityTest, OnlyAPlainMeshEntityIsOptimizable)
{
    MeshTemplate* meshTemplate = Template(MeshTemplateSpec());
    MeshEntity* entity = Create(meshTemplate);
    EXPECT_TRUE(entity->IsOptimizable());
    ASSERT_TRUE(Set(*entity, "Optimizable", "0"));
    EXPECT_FALSE(entity->IsOptimizable());
    DerivedMeshEntity derived;
    EXPECT_FALSE(derived.IsOptimizable());
    ASSERT_TRUE(Set(*entity, "Optimizable", "1")); // a flag reads as a number: "true" would be 0
    EXPECT_TRUE(entity->IsOptimizable());
    ASSERT_TRUE(Set(*meshTemplate, "Optimizable mesh", "0"));
    EXPECT_FALSE(entity->IsOptimizable());
}

TEST_F(MeshEntityTest, WithoutSkeletonTheHierarchyOperationsAreNeutral)
{
    MeshEntity* entity = Create(Template(MeshTemplateSpec()));
    MeshEntity* child = Create(Template(MeshTemplateSpec()));
    child->SetName("Sword");
    entity->SetName("Knight");
    m_log.Clear();
    EXPECT_EQ(entity->GetAnimator(), nullptr);
    EXPECT_FALSE(entity->HasFlag(ENTITYFLAG_ANIMATED));
    EXPECT_FALSE(entity->StartAnimationByIndex(NameString("root"), 0, nullptr));
    EXPECT_FALSE(entity->StopAnimation(NameString("root"), -1, 0.2f));
    EXPECT_FALSE(entity->SetAnimationSpeedMultiplier(NameString("root"), -1, 2.0f));
    EXPECT_FALSE(entity->SetAnimationTimeFlags(NameString("root"), -1, 0x10));
    EXPECT_FALSE(entity->SetAnimationProgress(NameString("root"), -1, 0.5f));
    EXPECT_EQ(entity->GetHierarchySubobjectIndex(NameString("Head")), -1);
    EXPECT_TRUE(entity->GetLocalHierarchyPosition(NameString("Head")).Equals(Matrix::ONE));
    EXPECT_FLOAT_EQ(entity->GetAnimationDrivenMovementSpeed(), 0.0f);
    EXPECT_EQ(DecodeReplicatedAnimState(entity->GetReplicatedEncAnimData()).index, 255);
    entity->Animate();
    EXPECT_TRUE(m_log.Messages().empty());

    EXPECT_FALSE(entity->MountEntity(NameString("Hand"), nullptr, Matrix::ONE, 0));
    EXPECT_FALSE(entity->MountEntity(NameString("Arm"), NameString("Hand"), nullptr, Matrix::ONE, 0));
    EXPECT_FALSE(entity->MountEntity(NameString("Hand"), child, Matrix::ONE, 0));
    EXPECT_TRUE(m_log.Contains("Cannot mount Sword to Knight because only children can be mounted", 4));
    EXPECT_FALSE(entity->MountEntity(NameString("Arm"), NameString("Hand"), child, Matrix::ONE, 0));
    EXPECT_TRUE(m_log.Contains("Cannot mount Sword to Hand in Knight because only children can be mounted", 4));
    child->SetParent(entity);
    EXPECT_FALSE(entity->MountEntity(NameString("Hand"), child, Matrix::ONE, 0));
    EXPECT_TRUE(m_log.Contains("Cannot mount Sword to Knight because Knight has no hierarchy", 4));
    EXPECT_FALSE(entity->MountEntity(NameString("Arm"), NameString("Hand"), child, Matrix::ONE, 0));
    EXPECT_TRUE(m_log.Contains("Cannot mount Sword to Hand in Knight because Knight has no hierarchy", 4));
    // Nor does a skeleton without bones make one.
    const_cast<MeshTemplate*>(entity->GetMeshTemplate())->SetSkeleton(new MeshSkeleton);
    m_log.Clear();
    EXPECT_FALSE(entity->MountEntity(NameString("Arm"), NameString("Hand"), child, Matrix::ONE, 0));
    EXPECT_TRUE(m_log.Contains("Cannot mount Sword to Hand in Knight because Knight has no hierarchy", 4));
}

TEST_F(MeshEntityTest, WithSkeletonChildrenMountOnBonesAndBonesReachTheContext)
{
    MeshTemplateSpec spec;
    spec.bones = {"Hips", "Spine", "Hand"};
    spec.animations = {{"targeting-aim-Center", {}}, {"targeting-look-left", {}}};
    MeshTemplate* knight = Template(spec);
    MeshEntity* entity = Create(knight);
    MeshEntity* child = Create(Template(MeshTemplateSpec()));
    entity->SetName("Knight");
    knight->RebuildTargetingTable(false);
    EXPECT_EQ(entity->GetTargetingModeIndex(NameString("LOOK")), 1);
    EXPECT_EQ(entity->GetTargetingModeIndex(NameString("Hand")), -1);
    entity->SetTargetingAngles(30.0f, -10.0f);
    EXPECT_FLOAT_EQ(entity->GetAnimator()->GetTargetingAngle(1), -10.0f);
    ASSERT_NE(entity->GetAnimator(), nullptr);
    EXPECT_TRUE(entity->HasFlag(ENTITYFLAG_ANIMATED));
    child->SetParent(entity);
    m_log.Clear();
    EXPECT_FALSE(entity->MountEntity(NameString("Tail"), child, Matrix::ONE, 0));
    EXPECT_TRUE(m_log.Contains("because Tail cannot be found", 4));
    EXPECT_TRUE(entity->MountEntity(NameString("Hand"), child, Matrix::ONE, 0));
    EXPECT_EQ(entity->GetAnimator()->GetMountedBone(child), 2);
    // A new offset reaches the mounted child only.
    Matrix raised;
    raised.LoadTranslation(0.0f, 3.0f, 0.0f);
    EXPECT_FALSE(entity->SetMountedEntityOffset(entity, raised));
    EXPECT_TRUE(entity->SetMountedEntityOffset(child, raised));
    EXPECT_FLOAT_EQ(entity->GetAnimator()->GetMounts()[0].offset.rows[3].y, 3.0f);
    // Reparenting away unmounts.
    child->SetParent(nullptr);
    EXPECT_EQ(entity->GetAnimator()->GetMountedBone(child), -1);

    EXPECT_FALSE(entity->StartAnimation(NameString("legs"), NameString("Walk"), nullptr));
    EXPECT_TRUE(m_log.Contains("Animation Walk not found in", 4));
    EXPECT_FALSE(entity->SetAnimationProgress(NameString("legs"), -1, 0.5f)) << "no such tree node";
    EXPECT_TRUE(entity->SetAnimationProgress(NameString("root"), -1, 0.5f));
    EXPECT_EQ(entity->GetHierarchySubobjectIndex(NameString("Hand")), 2);
    Matrix global;
    entity->SetGlobalPosition(Vector(10.0f, 0.0f, 0.0f, 1.0f));
    entity->GetGlobalHierarchyPosition(NameString("Hand"), global);
    EXPECT_FLOAT_EQ(global.rows[3].x, 10.0f);
    EXPECT_FLOAT_EQ(global.rows[3].y, 2.0f);

    entity->Animate();
    Sync();
    EXPECT_EQ(entity->GetMeshRenderingContext()->GetBoneCount(), 3u);
}

// "Mount to bone" mounts on the parent mesh's bone, offers its bones, and moves or drops the mount;
// a bone of a named sub-object must lie inside it; a template edit keeps every mount.
TEST_F(MeshEntityTest, BoneMountsFollowTheirPropertiesSubobjectsAndTemplateEdits)
{
    MeshTemplateSpec spec;
    spec.bones = {"Hips", "Spine", "Hand"};
    MeshTemplate* meshTemplate = Template(spec);
    MeshEntity* knight = Create(meshTemplate);
    MeshEntity* sword = Create(Template(MeshTemplateSpec()));
    MeshEntity* shield = Create(Template(MeshTemplateSpec()));
    sword->SetParent(knight);
    shield->SetParent(knight);

    DynarraySafe<NameString> choices;
    choices.Add(NameString("stale"));
    sword->GetPropertyChoices("Mount to bone", choices);
    ASSERT_EQ(choices.Count(), 4);
    EXPECT_STREQ(choices[0].CStr(), "Hips");
    EXPECT_STREQ(choices[2].CStr(), "Hand");
    EXPECT_TRUE(choices[3].IsEmpty());

    ASSERT_TRUE(Set(*sword, "Mount to bone position", "0 5 0 1"));
    ASSERT_TRUE(Set(*sword, "Mount to bone", "Hips"));
    EXPECT_EQ(knight->GetAnimator()->GetMountedBone(sword), 0);
    EXPECT_FLOAT_EQ(knight->GetAnimator()->GetMounts()[0].offset.rows[3].y, 5.0f);
    ASSERT_TRUE(Set(*sword, "Mount to bone", "Hand"));
    EXPECT_EQ(knight->GetAnimator()->GetMountedBone(sword), 2);

    EXPECT_FALSE(knight->MountEntity(NameString("Hand"), NameString("Spine"), shield, Matrix::ONE, 0));
    EXPECT_TRUE(m_log.Contains("because Spine cannot be found in Hand", 4));
    EXPECT_TRUE(knight->MountEntity(NameString("Hips"), NameString("Hand"), shield, Matrix::ONE, 1)) << "two down";
    knight->UnmountEntity(shield);
    EXPECT_TRUE(knight->MountEntity(NameString("Spine"), NameString("Hand"), shield, Matrix::ONE, 1));
    EXPECT_EQ(knight->GetAnimator()->GetMountedBone(shield), 2);

    // The edit rebuilds the hierarchy; both children are back on their bones with offset and flags.
    meshTemplate->OnPropertyChanged(meshTemplate->GetClassProperties()->FindPropertyInClassChain("LOS mask"));
    MeshAnimator* animator = knight->GetAnimator();
    ASSERT_EQ(animator->GetMounts().size(), 2u);
    EXPECT_EQ(animator->GetMountedBone(sword), 2);
    EXPECT_EQ(animator->GetMountedBone(shield), 2);
    for (const MountedEntityRecord& mount : animator->GetMounts())
    {
        EXPECT_FLOAT_EQ(mount.offset.rows[3].y, mount.entity.Get() == sword ? 5.0f : 0.0f);
        EXPECT_EQ(mount.alignment, mount.entity.Get() == shield ? 1u : 0u);
    }

    // An edit that drops Spine and puts Hand first: the children follow Hand by name, the one on
    // Spine comes off.
    MeshEntity* helmet = Create(Template(MeshTemplateSpec()));
    helmet->SetParent(knight);
    ASSERT_TRUE(knight->MountEntity(NameString("Spine"), helmet, Matrix::ONE, 0));
    MeshTemplateSpec reordered;
    reordered.bones = {"Hand", "Hips"};
    meshTemplate->SetSkeleton(new MeshSkeleton(*Template(reordered)->GetSkeleton()));
    meshTemplate->OnPropertyChanged(meshTemplate->GetClassProperties()->FindPropertyInClassChain("LOS mask"));
    animator = knight->GetAnimator();
    EXPECT_EQ(animator->GetMountedBone(sword), 0);
    EXPECT_EQ(animator->GetMountedBone(shield), 0);
    EXPECT_EQ(animator->GetMountedBone(helmet), -1);
    EXPECT_EQ(helmet->GetExtraFlags() & ENTITYEXTRA_MOUNTED_ON_BONE, 0u);
    EXPECT_TRUE(m_log.Contains("Cannot mount entity " + std::string(helmet->GetName()) + " because Spine cannot be found", 4));

    ASSERT_TRUE(Set(*sword, "Mount to bone", ""));
    EXPECT_EQ(animator->GetMountedBone(sword), -1);
    // A child of something other than a mesh keeps the caller's list.
    sword->SetParent(nullptr);
    choices.Clear();
    choices.Add(NameString("kept"));
    sword->GetPropertyChoices("Mount to bone", choices);
    EXPECT_EQ(choices.Count(), 1);
}

TEST_F(MeshEntityTest, TemplateEditsRefreshTheEntities)
{
    MeshTemplate* meshTemplate = Template(MeshTemplateSpec());
    MeshEntity* entity = Create(meshTemplate);
    EXPECT_EQ(entity->GetAnimator(), nullptr);
    MeshTemplateSpec withBones;
    withBones.bones = {"Hips"};
    std::unique_ptr<MeshTemplate> source = MeshTemplateWriter::MakeTemplate(withBones);
    auto* skeleton = new MeshSkeleton;
    skeleton->AddBone(source->GetSkeleton()->GetBone(0), Matrix::ONE);
    meshTemplate->SetSkeleton(skeleton);
    ASSERT_TRUE(Set(*meshTemplate, "LOS mask", "3"));
    meshTemplate->OnPropertyChanged(meshTemplate->GetClassProperties()->FindPropertyInClassChain("LOS mask"));
    EXPECT_NE(entity->GetAnimator(), nullptr);
    EXPECT_TRUE(entity->HasFlag(ENTITYFLAG_ANIMATED));
    EXPECT_EQ(entity->GetAnimationTemplate(), meshTemplate);
    // A named animation source serves while it is named, then the entity's own template again.
    SimpleGUID guid;
    guid.Generate();
    struct RigTemplate : EntityTemplate
    {
        bool DoLoad() override { return true; }
    };
    EntityTemplate* rig = new RigTemplate;
    ASSERT_NE(RegisterStubAtPath("units/Rig", guid, rig), nullptr);
    rig->Load(false);
    for (const char* source : {"units/Rig", ""})
    {
        ASSERT_TRUE(Set(*meshTemplate, "Animation source template", source));
        entity->ResetBoundsFromTemplate("Animation source template");
        EXPECT_EQ(entity->GetAnimationTemplate(), source[0] != 0 ? rig : meshTemplate) << source;
    }
    gEntityManager.DestroyScene();
    gTemplateManager.Clear();
}
