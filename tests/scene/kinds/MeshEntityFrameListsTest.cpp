// Mesh entities on the Game's tick-animated list: a mesh with a hierarchy joins when it is made,
// is posed after each tick's OnTick in a real frame, leaves when its hierarchy goes, and a deleted
// mesh leaves at once (ASan sees any use of it afterwards).
#include "scene/kinds/MeshEntity.h"

#include "effects/animation/MeshSkeleton.h"
#include "engine/EngineClock.h"
#include "engine/EngineTimer.h"
#include "engine/Game.h"
#include "platform/os/Clock.h"
#include "scene/kinds/MeshTemplate.h"
#include "support/RecordingGameDelegate.h"
#include "support/SceneTestSupport.h"
#include "tools/datakit/MeshTemplateWriter.h"

#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int64_t kFrame15 = os::kCounterFrequency / 15;
constexpr uint32_t kMarkGeneration = 77;
const float kMark[1] = {1.0f};

// Each OnTick marks the watched mesh's pose as stale; posing it clears the mark.
class MarkingDelegate : public RecordingGameDelegate
{
public:
    bool OnTick() override
    {
        if (watched != nullptr && watched->GetAnimator() != nullptr)
            watched->GetAnimator()->SetFrameSkinnedVertices(kMark, kMarkGeneration);
        return RecordingGameDelegate::OnTick();
    }
    MeshEntity* watched = nullptr;
};

MarkingDelegate* gDelegate = nullptr;
GameEntityLists::Operations gMeshOperations;
std::vector<std::string> gAnimated;

// The mesh kind's own work, with a record of whom it was given and at which tick.
void RecordAndAnimate(Entity* entity)
{
    gAnimated.push_back(entity->GetName() + std::string("@") + std::to_string(gDelegate->ticks));
    gMeshOperations.animate(entity);
}

bool Marked(const MeshEntity* mesh)
{
    return mesh->GetAnimator()->GetFrameSkinnedVertices(kMarkGeneration) != nullptr;
}

class MeshEntityFrameListsTest : public SceneTest
{
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        gAnimated.clear();
        gDelegate = &m_delegate;
        gMeshOperations = gGame.GetEntityLists().GetOperations();
    }
    void TearDown() override
    {
        gGame.GetEntityLists().InstallOperations(gMeshOperations);
        gGame.GetEntityLists().Clear();
        gDelegate = nullptr;
        SceneTest::TearDown();
        m_meshTemplates.clear();
    }
    MeshTemplate* MeshTemplateWith(std::vector<std::string> bones)
    {
        MeshTemplateSpec spec;
        spec.bones = std::move(bones);
        m_meshTemplates.push_back(MeshTemplateWriter::MakeTemplate(spec));
        return m_meshTemplates.back().get();
    }
    MeshEntity* Mesh(MeshTemplate* meshTemplate, const char* name)
    {
        auto* mesh = static_cast<MeshEntity*>(gEntityManager.CreateEntity(
            meshTemplate, nullptr, Matrix::ONE, ENTITYCREATION_DONOTCREATERENDERINGCONTEXT, nullptr));
        mesh->SetName(name);
        return mesh;
    }
    static int32_t Listed(const Entity* entity)
    {
        int32_t count = 0;
        for (const SafePointer<Entity>& held : gGame.GetEntityLists().GetTickAnimated())
            count += held.Get() == entity;
        return count;
    }
    // Runs frames of one tick's length until at least `ticks` more logic ticks have run.
    void RunTicks(int ticks)
    {
        const int target = m_delegate.ticks + ticks;
        for (int i = 0; i < 40 && m_delegate.ticks < target; ++i)
        {
            os::AdvanceManualCounter(kFrame15);
            gGame.Update(true);
        }
        ASSERT_GE(m_delegate.ticks, target);
    }
    // "Name@tick" for every tick after `after` up to the last one run.
    std::vector<std::string> EveryTick(int after, const std::vector<std::string>& names) const
    {
        std::vector<std::string> expected;
        for (int tick = after + 1; tick <= m_delegate.ticks; ++tick)
            for (const std::string& name : names)
                expected.push_back(name + "@" + std::to_string(tick));
        return expected;
    }
    void StartGame()
    {
        os::EnableManualCounter(os::QueryCounter());
        gEngineTimer.Reset();
        gEngineClock.Reset();
        gGame.Init(&m_delegate);
        GameEntityLists::Operations recording = gMeshOperations;
        recording.animate = &RecordAndAnimate;
        gGame.GetEntityLists().InstallOperations(recording);
    }
    void StopGame()
    {
        gGame.Close();
        os::DisableManualCounter();
    }

    MarkingDelegate m_delegate;
    std::vector<std::unique_ptr<MeshTemplate>> m_meshTemplates;
};
} // namespace

TEST_F(MeshEntityFrameListsTest, MeshesWithAHierarchyJoinOnceAndLeaveWhenItGoes)
{
    ASSERT_NE(gMeshOperations.animate, nullptr) << "the lists animate meshes by default";
    MeshTemplate* boned = MeshTemplateWith({"Hips", "Spine"});
    MeshTemplate* plain = MeshTemplateWith({});
    MeshEntity* knight = Mesh(boned, "Knight");
    MeshEntity* rock = Mesh(plain, "Rock");
    EXPECT_EQ(Listed(knight), 1);
    EXPECT_EQ(Listed(rock), 0) << "no hierarchy, nothing to pose";

    // Rebuilding the hierarchy keeps one entry.
    knight->ChangeTemplate(boned);
    EXPECT_EQ(Listed(knight), 1);
    EXPECT_EQ(gGame.GetEntityLists().GetTickAnimated().Count(), 1);

    // A template without bones takes the hierarchy, and the entry, away; bones bring it back.
    knight->ChangeTemplate(plain);
    EXPECT_EQ(knight->GetAnimator(), nullptr);
    EXPECT_EQ(Listed(knight), 0);
    EXPECT_EQ(gGame.GetEntityLists().GetTickAnimated().Count(), 0) << "the entry goes, not only its target";
    rock->ChangeTemplate(boned);
    EXPECT_EQ(Listed(rock), 1);

    // The installed work poses a listed mesh and leaves other entities alone.
    rock->GetAnimator()->SetFrameSkinnedVertices(kMark, kMarkGeneration);
    gMeshOperations.animate(rock);
    EXPECT_FALSE(Marked(rock));
    gMeshOperations.animate(Create());

    gEntityManager.DeleteEntity(rock);
    EXPECT_EQ(gGame.GetEntityLists().GetTickAnimated().Count(), 0) << "a deleted mesh leaves at once";
}

TEST_F(MeshEntityFrameListsTest, AFramePosesAnimatedMeshesAfterEachTicksOnTick)
{
    StartGame();
    MeshTemplate* boned = MeshTemplateWith({"Hips", "Spine"});
    MeshEntity* knight = Mesh(boned, "Knight");
    MeshEntity* horse = Mesh(boned, "Horse");
    Mesh(MeshTemplateWith({}), "Rock");
    m_delegate.watched = knight;

    RunTicks(1);
    const int first = m_delegate.ticks;
    gAnimated.clear();
    RunTicks(3);
    // Once per tick each, in list order, after that tick's OnTick (which marked the pose stale).
    EXPECT_EQ(gAnimated, EveryTick(first, {"Knight", "Horse"}));
    EXPECT_FALSE(Marked(knight)) << "the pose follows the tick's OnTick";

    // A mesh that stops animating is no longer posed.
    horse->ChangeTemplate(MeshTemplateWith({}));
    gAnimated.clear();
    const int beforeStop = m_delegate.ticks;
    RunTicks(1);
    EXPECT_EQ(gAnimated, EveryTick(beforeStop, {"Knight"}));

    // A deleted mesh is dropped; the next frames touch nothing of it.
    m_delegate.watched = nullptr;
    gEntityManager.DeleteEntity(knight);
    gAnimated.clear();
    RunTicks(2);
    EXPECT_TRUE(gAnimated.empty());
    EXPECT_EQ(gGame.GetEntityLists().GetTickAnimated().Count(), 0);
    StopGame();
}
