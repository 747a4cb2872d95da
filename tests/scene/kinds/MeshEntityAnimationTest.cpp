// Mesh entities playing their template's clips: starting by name and index, child chains, root
// motion onto the entity, targeting modes, mounted entities on bones and the replicated animation state.
#include "scene/kinds/MeshEntity.h"

#include "audio/sound/SoundEntriesContainer.h"
#include "audio/sound/SoundEntryParams.h"
#include "core/filesystem/FileSystem.h"
#include "effects/animation/MeshSkeleton.h"
#include "engine/Game.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/MeshTemplateAnimation.h"
#include "scene/templates/EntityTemplateStub.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"
#include "support/TempFolder.h"
#include "tools/datakit/AnimationFileWriter.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "online/ReplicatedAnimState.h"
#include "scene/entities/EntityMPProperties.h"

#include <cmath>

#include <filesystem>

namespace
{
class MeshEntityAnimationTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        std::filesystem::create_directories(m_folder / "Animations");
        ASSERT_TRUE(gFileSystem.MountDirectory("Animations", (m_folder / "Animations").c_str()));
        ASSERT_TRUE(m_resources.Init());
        gGame.GetGameTimer().Reset();
        // "wave" moves Arm from x 0 to 10; "turn" turns Hips a quarter round about y; "stride" moves
        // Hips from x 0 to 10, "climb" from y 0 to 10.
        WriteClip("wave", "Arm", {{0.0f, Vector(0, 0, 0, 0)}, {1.0f, Vector(10, 0, 0, 0)}}, {});
        Quaternion quarter;
        quarter.LoadYRotation(90.0f);
        WriteClip("turn", "Hips", {}, {{0.0f, Vector(0, 0, 0, 1)}, {1.0f, Vector(quarter.x, quarter.y, quarter.z, quarter.w)}});
        WriteClip("stride", "Hips", {{0.0f, Vector(0, 0, 0, 0)}, {1.0f, Vector(10, 0, 0, 0)}}, {});
        WriteClip("climb", "Hips", {{0.0f, Vector(0, 0, 0, 0)}, {1.0f, Vector(0, 10, 0, 0)}}, {});
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        m_templates.clear();
        m_resources.Close();
        gFileSystem.UnmountAll();
        RendererTestBase::TearDown();
    }
    void WriteClip(const char* name, const char* bone, std::vector<AnimationClipSpec::Key> position,
                   std::vector<AnimationClipSpec::Key> rotation)
    {
        AnimationClipSpec clip;
        AnimationClipSpec::Track track;
        track.name = bone;
        track.position = std::move(position);
        track.rotation = std::move(rotation);
        clip.tracks.push_back(track);
        ASSERT_TRUE(AnimationFileWriter::Write(m_folder / ("Animations/" + std::string(name) + ".bin"), clip));
    }
    MeshEntity* Knight(const Vector& position = Vector(0, 0, 0, 1), bool climbs = false)
    {
        MeshTemplateSpec spec;
        spec.bones = {"Hips", "Arm"};
        spec.rootMotionBone = 0;
        spec.clips = {{"Wave", "wave"}, {"Turn", "turn"}, {"Stride", "stride"}, {"Rest", "missing"}};
        if (climbs)
            spec.clips = {{"Climb", "climb"}};
        m_templates.push_back(MeshTemplateWriter::MakeTemplate(spec));
        Matrix at = Matrix::ONE;
        at.LoadTranslation(position);
        auto* mesh = static_cast<MeshEntity*>(gEntityManager.CreateEntity(m_templates.back().get(), nullptr, at, 0, nullptr));
        mesh->SetName("Knight");
        return mesh;
    }
    MeshEntity* Plain()
    {
        m_templates.push_back(MeshTemplateWriter::MakeTemplate(MeshTemplateSpec()));
        return static_cast<MeshEntity*>(gEntityManager.CreateEntity(m_templates.back().get(), nullptr, Matrix::ONE, 0, nullptr));
    }
    // A new frame's pose after the clock moved on.
    static void Advance(MeshEntity* mesh, float seconds)
    {
        gGame.GetGameTimer().Tick(seconds);
        mesh->GetAnimator()->InvalidatePose();
        mesh->Animate();
    }
    static AnimationParams Params(uint32_t flags)
    {
        AnimationParams params;
        params.Flags = flags;
        params.AttackTime = 0.0f;
        return params;
    }

    TempFolder m_folder;
    ResourceManager m_resources;
    std::vector<std::unique_ptr<MeshTemplate>> m_templates;
    const NameString m_root{"root"};
};
} // namespace

TEST_F(MeshEntityAnimationTest, ClipsStartByNameOrIndexAndPoseTheBones)
{
    MeshEntity* knight = Knight();
    const AnimationParams loop = Params(ANIMFLAG_LOOP);
    m_log.Clear();
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Wave"), &loop));
    EXPECT_TRUE(m_log.Contains("Starting animation Wave on Knight, child of SCENE ROOT", 0));
    Advance(knight, 0.0f);
    Advance(knight, 0.5f);
    EXPECT_NEAR(knight->GetLocalHierarchyPosition(NameString("Arm")).rows[3].x, 5.0f, 1e-3f);
    EXPECT_NEAR(knight->GetGlobalHierarchyPositionVector(1).x, 5.0f, 1e-3f);
    EXPECT_NEAR(knight->GetAnimator()->GetSkinningMatrices()[12 + 3], 5.0f, 1e-3f);
    const BaseAnimation* wave = knight->GetAnimator()->GetFirstRunningRootAnimation();
    EXPECT_EQ(wave->GetParams().AnimationIndex, 3) << "definitions sort by name: Rest, Stride, Turn, Wave";
    EXPECT_EQ(wave->GetParams().Id, 3);
    // The speed and the clock reach the running clip by its id.
    EXPECT_TRUE(knight->SetAnimationSpeedMultiplier(m_root, 3, 2.0f) && knight->SetAnimationTimeFlags(m_root, 3, 0x20));
    EXPECT_FLOAT_EQ(wave->GetParams().SpeedMultiplier, 2.0f);
    EXPECT_EQ(wave->GetParams().Flags & ANIMFLAG_TIME_MASK, 0x20u);

    EXPECT_FALSE(knight->StartAnimation(m_root, NameString("Jump"), nullptr));
    EXPECT_TRUE(m_log.Contains("Animation Jump not found in", 4));
    // An overlay list is found by its name too, in any case.
    auto* aim = new MeshTemplateAnimationOverlayList;
    aim->m_name = NameString("Aim");
    m_templates.back()->EditOverlayLists().Add(aim);
    knight->StartAnimation(m_root, NameString("aim"), nullptr);
    EXPECT_FALSE(m_log.Contains("Animation aim not found"));
    EXPECT_FALSE(knight->StartAnimationByIndex(m_root, 9, nullptr));
    EXPECT_FALSE(knight->StartAnimation(m_root, NameString("Rest"), nullptr)) << "its file is missing";
    EXPECT_FALSE(knight->StartAnimation(NameString("legs"), NameString("Wave"), &loop)) << "no such node";
    // Without a name the mesh is named by its template.
    knight->SetName("");
    EntityTemplateStub stub;
    stub.SetFileName("Knights/Knight");
    stub.SetTemplate(m_templates.back().get());
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Turn"), &loop));
    EXPECT_TRUE(m_log.Contains("Starting animation Turn on an unnamed Knights/Knight, child of SCENE ROOT", 0));
    stub.SetTemplate(nullptr);
}

TEST_F(MeshEntityAnimationTest, AClipsTargetingModeTurnsItsBonesByTheEntitysAngles)
{
    // The "aim" mode's left pose turns Arm a quarter round about y; fully left, Wave's Arm takes it all.
    Quaternion quarter;
    quarter.LoadYRotation(90.0f);
    WriteClip("aimleft", "Arm", {}, {{0.0f, Vector(quarter.x, quarter.y, quarter.z, quarter.w)}});
    MeshTemplateSpec spec;
    spec.bones = {"Hips", "Arm"};
    spec.clips = {{"Wave", "wave"}, {"targeting-aim-left", "aimleft"}};
    m_templates.push_back(MeshTemplateWriter::MakeTemplate(spec));
    m_templates.back()->GetAnimations()[1].m_defaultPreset.GetAnimation()->WaitUntilLoaded(false);
    m_templates.back()->RebuildTargetingTable(false);
    auto* knight = static_cast<MeshEntity*>(gEntityManager.CreateEntity(m_templates.back().get(), nullptr, Matrix::ONE, 0, nullptr));
    AnimationParams wave = Params(ANIMFLAG_LOOP);
    wave.TargetingModeIndex = knight->GetTargetingModeIndex(NameString("aim"));
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Wave"), &wave));
    knight->SetTargetingAngles(-90.0f, 0.0f);
    Advance(knight, 0.0f);
    Advance(knight, 0.5f);
    EXPECT_NEAR(std::fabs(knight->GetLocalHierarchyPosition(NameString("Arm")).rows[0].z), 1.0f, 1e-3f);
}

TEST_F(MeshEntityAnimationTest, AClipStartedFromItsGroupTakesUpTheProgressOfTheGroupsRunningClip)
{
    MeshEntity* knight = Knight();
    AnimationParams wave = Params(ANIMFLAG_LOOP);
    wave.GroupMask = 2;
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Wave"), &wave));
    Advance(knight, 0.0f);
    Advance(knight, 0.25f);
    // A later clip of the other group fades in beside it: the first running clip sets the pace.
    AnimationParams turn = Params(ANIMFLAG_LOOP);
    turn.GroupMask = 4;
    turn.AttackTime = 1.0f;
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Turn"), &turn));
    Advance(knight, 0.0f);
    Advance(knight, 0.125f);
    AnimationParams stride = Params(ANIMFLAG_START_FROM_GROUP);
    stride.GroupMask = 2;
    stride.StartTimeOffset = 6.0f; // groups 2 and 4
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Stride"), &stride));
    const BaseAnimation* started = knight->GetAnimator()->GetSlotList(0).back().get();
    EXPECT_EQ(started->GetParams().AnimationIndex, 1) << "Stride";
    EXPECT_NEAR(started->GetParams().StartTimeOffset, 0.375f, 1e-4f);
}

TEST_F(MeshEntityAnimationTest, AChildChainStartsTheNextEntryWhenTheFirstFinishes)
{
    MeshEntity* knight = Knight();
    // Turn's step sound is a positioned entry: as a 2D event it still plays through the knight.
    MeshTemplateAnimationFrameData step;
    step.m_soundEvent = NameString("Step");
    step.m_timeStamp = 0.5f;
    m_templates.back()->EditAnimations()[2].m_defaultPreset.m_frames.Add(step); // by name: Rest, Stride, Turn
    SoundEntryParams stepEntry;
    stepEntry.AddSound("step.ogg");
    ASSERT_TRUE(gSoundEntriesContainer.AddSoundEntry("Step", stepEntry));
    AnimationParams chain = Params(ANIMFLAG_AUTOFINISH | ANIMFLAG_CHILDREN);
    chain.AddChild(NameString("Wave"), Params(0));
    chain.AddChild(NameString("Turn"), Params(ANIMFLAG_CHILDREN | ANIMFLAG_SOUNDS | ANIMFLAG_SOUNDS2D));
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Wave"), &chain));
    Advance(knight, 0.0f);
    Advance(knight, 0.9f);
    const BaseAnimation* next = knight->GetAnimator()->GetFirstRunningRootAnimation();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->GetParams().AnimationIndex, 2) << "Turn";
    EXPECT_EQ(next->GetParams().ChildCursor, 1u);
    EXPECT_EQ(next->GetParams().Flags, ANIMFLAG_CHILDREN | ANIMFLAG_SOUNDS | ANIMFLAG_SOUNDS2D | ANIMFLAG_AUTOFINISH);
    m_log.Clear();
    Advance(knight, 0.0f);
    Advance(knight, 0.6f);
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 0u) << "the step played at the knight";
    EXPECT_NE(knight->FindSoundEmitter(), nullptr);
    Advance(knight, 0.4f);
    EXPECT_EQ(knight->GetAnimator()->GetFirstRunningRootAnimation(), nullptr) << "the last entry ends the chain";
    gSoundEntriesContainer.RemoveAllSoundEntries();
}

TEST_F(MeshEntityAnimationTest, RootMotionMovesOrTurnsTheEntity)
{
    MeshEntity* walker = Knight(Vector(5, 0, 0, 1));
    const AnimationParams drive = Params(ANIMFLAG_POSITIONDRIVE);
    ASSERT_TRUE(walker->StartAnimation(m_root, NameString("Stride"), &drive));
    EXPECT_EQ(walker->GetAnimator()->GetPositionDriveCount(), 1u);
    Advance(walker, 0.0f);
    Advance(walker, 0.5f);
    EXPECT_NEAR(walker->GetGlobalLocationMatrix().rows[3].x, 10.0f, 1e-3f);
    EXPECT_NEAR(walker->GetGlobalLocationMatrix().rows[0].x, 1.0f, 1e-5f) << "the axes stay";
    // A walker turned a quarter round strides along its own x axis, from where it stood.
    MeshEntity* turned = Knight();
    Matrix facing;
    facing.LoadYRotation(90.0f);
    facing.rows[3] = Vector(5, 0, 0, 1);
    turned->SetGlobalLocationMatrix(facing);
    ASSERT_TRUE(turned->StartAnimation(m_root, NameString("Stride"), &drive));
    Advance(turned, 0.0f);
    Advance(turned, 0.5f);
    EXPECT_NEAR(turned->GetGlobalLocationMatrix().rows[3].x, 5.0f, 1e-3f);
    EXPECT_NEAR(std::fabs(turned->GetGlobalLocationMatrix().rows[3].z), 5.0f, 1e-3f);
    // Played backwards, the motion counts from the clip's end pose: halfway back is 5 behind.
    MeshEntity* back = Knight(Vector(5, 0, 0, 1));
    const AnimationParams reverse = Params(ANIMFLAG_POSITIONDRIVE | ANIMFLAG_BACKWARDS);
    ASSERT_TRUE(back->StartAnimation(m_root, NameString("Stride"), &reverse));
    Advance(back, 0.0f);
    Advance(back, 0.5f);
    EXPECT_NEAR(back->GetGlobalLocationMatrix().rows[3].x, 0.0f, 1e-3f);
    // On a mesh animated at twice its size, the end pose counts at that size too, upwards as well.
    MeshEntity* down = Knight(Vector(0, 30, 0, 1), true);
    ASSERT_TRUE(m_templates.back()->GetClassProperties()->FindPropertyInClassChain("XSI animation scale")->SetFromText(
        m_templates.back().get(), "2"));
    ASSERT_TRUE(down->StartAnimation(m_root, NameString("Climb"), &reverse));
    Advance(down, 0.0f);
    Advance(down, 0.5f);
    EXPECT_NEAR(down->GetGlobalLocationMatrix().rows[3].y, 20.0f, 1e-3f);
    EXPECT_TRUE(back->StopAllAnimations(m_root, 0.0f));
    EXPECT_EQ(back->GetAnimator()->GetPositionDriveCount(), 0u);

    MeshEntity* turner = Knight(Vector(5, 0, 0, 1));
    const AnimationParams turn = Params(ANIMFLAG_ROTATIONDRIVE);
    ASSERT_TRUE(turner->StartAnimation(m_root, NameString("Turn"), &turn));
    Advance(turner, 0.0f);
    Advance(turner, 1.0f);
    EXPECT_NEAR(turner->GetGlobalLocationMatrix().rows[3].x, 5.0f, 1e-4f) << "the position stays";
    EXPECT_NEAR(std::fabs(turner->GetGlobalLocationMatrix().rows[0].z), 1.0f, 1e-3f) << "x turned onto z";
    EXPECT_NEAR(std::fabs(turner->GetGlobalLocationMatrix().rows[2].x), 1.0f, 1e-3f) << "and z onto x";
    EXPECT_TRUE(turner->StopAllAnimations(m_root, 0.0f));
    EXPECT_EQ(turner->GetAnimator()->GetRotationDriveCount(), 0u) << "a stop gives the drive back";
}

TEST_F(MeshEntityAnimationTest, MountedEntitiesFollowTheirBone)
{
    MeshEntity* knight = Knight(Vector(10, 0, 0, 1));
    MeshEntity* sword = Plain();
    sword->SetName("Sword");
    sword->SetParent(knight);
    Matrix offset;
    offset.LoadTranslation(0.0f, 0.0f, 1.0f);
    m_log.Clear();
    EXPECT_FALSE(knight->MountEntityToBone(-1, sword, offset, 0));
    EXPECT_TRUE(m_log.Contains("Cannot mount entity to bone with -1 index", 4));
    EXPECT_FALSE(knight->MountEntityToBone(255, sword, offset, 0)) << "255 is the identity parent, not a bone";
    ASSERT_TRUE(knight->MountEntity(NameString("Arm"), sword, offset, 0));
    EXPECT_FALSE(knight->MountEntity(NameString("Arm"), sword, offset, 0));
    MeshEntity* shield = Plain();
    ASSERT_TRUE(knight->MountEntityToBone(2, shield, offset, 0));
    EXPECT_TRUE(m_log.Contains("Entity Sword has already been mounted to some other entity", 4));
    const AnimationParams loop = Params(ANIMFLAG_LOOP);
    ASSERT_TRUE(knight->StartAnimation(m_root, NameString("Wave"), &loop));
    Advance(knight, 0.0f);
    Advance(knight, 0.5f);
    const Vector at = sword->GetGlobalLocationMatrix().rows[3];
    EXPECT_NEAR(at.x, 15.0f, 1e-3f);
    EXPECT_NEAR(at.y, 1.0f, 1e-3f);
    EXPECT_NEAR(at.z, 1.0f, 1e-3f);
    EXPECT_TRUE(shield->GetGlobalLocationMatrix().rows[3].Equal(Vector(10, 0, 1, 1))) << "past the bones: at the root";
    // A new offset shows at the next update of the mounted objects.
    offset.LoadTranslation(0.0f, 0.0f, 3.0f);
    ASSERT_TRUE(knight->SetMountedEntityOffset(sword, offset));
    EXPECT_FALSE(sword->SetMountedEntityOffset(shield, offset)) << "a mesh without an animator mounts nothing";
    EXPECT_FALSE(sword->MountEntityToBone(0, shield, offset, 0)) << "nor does one without an animation set";
    knight->UpdateMountedObjects();
    EXPECT_NEAR(sword->GetGlobalLocationMatrix().rows[3].z, 3.0f, 1e-3f);
    knight->UnmountEntity(nullptr);
    EXPECT_EQ(knight->GetAnimator()->GetMountedBone(sword), -1);
    EXPECT_EQ(sword->GetExtraFlags() & ENTITYEXTRA_MOUNTED_ON_BONE, 0u);

    // On a turned knight, a mount aligned to the camera takes the camera's axes, a plain one the knight's.
    MeshEntity* turned = Knight();
    Matrix quarter;
    quarter.LoadYRotation(90.0f);
    turned->SetGlobalLocationMatrix(quarter);
    MeshEntity* plain = Plain();
    MeshEntity* facing = Plain();
    plain->SetParent(turned);
    facing->SetParent(turned);
    ASSERT_TRUE(turned->MountEntity(NameString("Arm"), plain, Matrix::ONE, 0));
    ASSERT_TRUE(turned->MountEntity(NameString("Arm"), facing, Matrix::ONE, 1));
    ASSERT_TRUE(turned->StartAnimation(m_root, NameString("Wave"), &loop));
    Advance(turned, 0.0f);
    Advance(turned, 0.5f);
    const Matrix& follows = plain->GetGlobalLocationMatrix();
    const Matrix& faces = facing->GetGlobalLocationMatrix();
    EXPECT_NEAR(follows.rows[0].z, -1.0f, 1e-5f);
    EXPECT_NEAR(faces.rows[0].x, 1.0f, 1e-5f);
    EXPECT_TRUE(faces.rows[3].Equal(follows.rows[3])) << "both on the bone";
}

TEST_F(MeshEntityAnimationTest, TheReplicatedStateStartsTheSameClipElsewhere)
{
    MeshEntity* source = Knight();
    MeshEntity* copy = Knight();
    AnimationParams loop = Params(ANIMFLAG_LOOP);
    loop.AttackTime = 0.2f;
    ASSERT_TRUE(source->StartAnimation(m_root, NameString("Wave"), &loop));
    Advance(source, 0.0f);
    Advance(source, 0.5f);
    const uint32_t packed = source->GetReplicatedEncAnimData();
    EXPECT_EQ(packed, 0x338083u) << "index 3 looping, progress 128/255, attack 51/255";
    copy->ApplyReplicatedEncAnimData(packed);
    const BaseAnimation* started = copy->GetAnimator()->GetFirstRunningRootAnimation();
    ASSERT_NE(started, nullptr);
    EXPECT_EQ(started->GetParams().AnimationIndex, 3);
    EXPECT_EQ(started->GetParams().Flags, ANIMFLAG_LOOP | ANIMFLAG_SMOOTHGAMEPLAYTIME);
    EXPECT_NEAR(started->GetParams().OverrideProgress, 128.0f / 255.0f, 1e-6f);
    EXPECT_NEAR(started->GetParams().AttackTime, 0.2f, 0.5f / 255);
    copy->ApplyReplicatedEncAnimData(EncodeReplicatedAnimState(3, true, 0.25f, 0.2f));
    EXPECT_EQ(copy->GetAnimator()->GetSlotList(0).size(), 1u) << "the same index only moves the progress";
    EXPECT_NEAR(started->GetParams().OverrideProgress, 64.0f / 255.0f, 1e-6f);
}

TEST_F(MeshEntityAnimationTest, AFollowingMeshCopiesItsStateIntoTheSourcesFields)
{
    MeshEntity* avatar = Knight();
    MeshEntity* unit = Knight();
    unit->InitMPProperties();
    EntityMPProperties::Property anim;
    anim.name = "Anim";
    anim.type = MPPROPERTY_ANIMATION;
    EntityMPProperties::Property progress;
    progress.name = "AnimProgress";
    progress.type = MPPROPERTY_RANGED_FLOAT;
    progress.step = 1.0f / 255.0f;
    const int32_t animField = unit->EditMPProperties()->Add(anim);
    const int32_t progressField = unit->EditMPProperties()->Add(progress);
    ASSERT_EQ(animField, 3);
    ASSERT_EQ(progressField, 4);
    avatar->SetAnimationSource(unit, animField, progressField);
    AnimationParams loop = Params(ANIMFLAG_LOOP);
    ASSERT_TRUE(avatar->StartAnimation(m_root, NameString("Wave"), &loop));
    Advance(avatar, 0.0f);
    unit->ClearReplicationState();
    Advance(avatar, 0.25f);
    EXPECT_EQ(unit->GetMPProperties()->Get(animField).packed, avatar->GetReplicatedEncAnimData());
    EXPECT_EQ(unit->GetMPProperties()->Get(animField).packed & 0xFFu, 0x83u) << "index 3, looping";
    EXPECT_NEAR(unit->GetMPProperties()->Get(progressField).value.x, 0.25f, 1e-4f);
    EXPECT_EQ(unit->GetPendingChangeMask(), (uint64_t(1) << animField) | (uint64_t(1) << progressField));

    // Held still, the fields keep their values and nothing is marked again.
    ASSERT_TRUE(avatar->SetAnimationProgress(m_root, -1, 0.25f));
    Advance(avatar, 0.0f);
    unit->ClearReplicationState();
    Advance(avatar, 0.1f);
    EXPECT_EQ(unit->GetPendingChangeMask(), 0u);

    // Fields of another type are refused; without a source nothing is written.
    EXPECT_FALSE(unit->MPPropSetAnim(progressField, 1));
    EXPECT_FALSE(unit->MPPropSetFloat(animField, 1.0f));
    EXPECT_FALSE(unit->MPPropSetFloat(9, 1.0f));
    EXPECT_EQ(unit->EditMPProperties()->Edit(progressField + 1), nullptr) << "one past the last field";
    avatar->SetAnimationSource(nullptr, animField, progressField);
    ASSERT_TRUE(avatar->SetAnimationProgress(m_root, -1, 0.75f));
    Advance(avatar, 0.1f);
    EXPECT_NEAR(unit->GetMPProperties()->Get(progressField).value.x, 0.25f, 1e-4f);

    // The packed state travels as three bytes.
    Dynarray<uint8_t> record;
    unit->GetMPProperties()->Write(uint64_t(1) << animField, 7, record);
    ASSERT_EQ(record.Count(), 16 + 3);
    EntityMPProperties received;
    received.InitStartSet(*avatar);
    received.Add(anim);
    size_t offset = 0;
    ASSERT_TRUE(received.Read(record.Data(), size_t(record.Count()), offset, nullptr));
    EXPECT_EQ(received.Get(animField).packed, unit->GetMPProperties()->Get(animField).packed);
}

TEST_F(MeshEntityAnimationTest, AMeshFollowingAProxyPlaysTheFieldsThePeerSent)
{
    MeshEntity* avatar = Knight();
    MeshEntity* unit = Knight();
    unit->SetReplicationRole(ENTITYROLE_PROXY);
    unit->InitMPProperties();
    const int32_t animField = unit->MPPropAddAnim("Anim");
    const int32_t progressField = unit->MPPropAddFloat("AnimProgress", 0.0f, 1.0f, 1.0f / 255.0f);
    ASSERT_EQ(progressField, 4);
    avatar->SetAnimationSource(unit, animField, progressField);
    bool listed = false;
    for (const SafePointer<Entity>& held : gGame.GetEntityLists().GetEndOfFrameAnimated())
        listed = listed || held.Get() == avatar;
    EXPECT_TRUE(listed) << "the end of the frame applies what arrives";

    // The mesh's own clip does not overwrite what the peer will send.
    AnimationParams loop = Params(ANIMFLAG_LOOP);
    ASSERT_TRUE(avatar->StartAnimation(m_root, NameString("Turn"), &loop));
    Advance(avatar, 0.0f);
    Advance(avatar, 0.25f);
    EXPECT_EQ(unit->GetMPProperties()->Get(animField).packed, 0x7Fu) << "nothing playing yet";

    // The peer's record arrives: Wave looping at half way with a 0.2 s attack, the finer progress a
    // quarter. The end of the frame starts Wave held at the finer progress.
    EntityMPProperties sent = *unit->GetMPProperties();
    sent.Edit(animField)->packed = EncodeReplicatedAnimState(3, true, 0.5f, 0.2f);
    sent.Edit(progressField)->value.x = 64.0f / 255.0f;
    Dynarray<uint8_t> record;
    sent.Write((uint64_t(1) << animField) | (uint64_t(1) << progressField), 0, record);
    unit->QueueReceivedMPState(record.Data(), size_t(record.Count()));
    unit->ReadMPProperties(0, 0);
    gGame.GetEntityLists().ApplyEndOfFrameAnimation();
    const BaseAnimation* wave = avatar->GetAnimator()->GetFirstRunningRootAnimation();
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->GetParams().AnimationIndex, 3);
    EXPECT_EQ(wave->GetParams().Flags, ANIMFLAG_LOOP | ANIMFLAG_SMOOTHGAMEPLAYTIME);
    EXPECT_NEAR(wave->GetParams().AttackTime, 0.2f, 0.5f / 255);
    EXPECT_NEAR(wave->GetParams().OverrideProgress, 64.0f / 255.0f, 1e-6f);

    // An authority source's fields are this mesh's own output: nothing is applied from them.
    unit->SetReplicationRole(ENTITYROLE_AUTHORITY);
    unit->EditMPProperties()->Edit(animField)->packed = EncodeReplicatedAnimState(2, false, 0.0f, 0.0f);
    gGame.GetEntityLists().ApplyEndOfFrameAnimation();
    EXPECT_EQ(avatar->GetAnimator()->GetFirstRunningRootAnimation(), wave);
}
