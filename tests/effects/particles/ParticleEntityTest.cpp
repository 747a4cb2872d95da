// ctest-labels: thread
// Particle entities on a running renderer: "Spawn in game" off stays silent until StartSpawning, a
// property edit restarts a spawning entity with a fresh system, a speed multiplier is not kept for
// later systems, the editor and template-bounds hooks rebuild the system, and "Offscreen
// processing" keeps an undrawn system from parking.
#include "effects/particles/ParticleEntity.h"

#include "effects/particles/ParticleEntityRenderingContext.h"
#include "effects/particles/ParticleSystemContext.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/PathGrid.h"
#include "scene/kinds/ParticleTemplate.h"
#include "support/ParticleTestSupport.h"
#include "support/RenderStreamCapture.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

namespace
{
struct SystemState
{
    ParticleSystemContext* system = nullptr;
    uint32_t count = 0;
    bool emitting = false;
    bool parked = false;
    float speed = 0.0f;
    float colorMultiplier = 0.0f;
    ParticleSpawner* spawner = nullptr;
    BoundingBox4 smoothed;
};

// The built-in world-space spawner that counts the bounds it is told of and its own deletion.
class WatchingSpawner : public ParticleSpawner
{
public:
    explicit WatchingSpawner(int& deaths) : m_deaths(deaths) {}
    ~WatchingSpawner() override { ++m_deaths; }
    void OnBounds(const BoundingBox4& bounds) override
    {
        ++boundsCalls;
        last = bounds;
    }

    int boundsCalls = 0;
    BoundingBox4 last;

private:
    int& m_deaths;
};

class ParticleEntityTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        SetParticleProperty(m_template.GetSystem(), "Spawn rate", "100");
        SetParticleProperty(m_template.GetSystem(), "Life time", "10");
        // Nothing draws in these tests: the systems must not park.
        ASSERT_TRUE(m_template.GetClassProperties()->FindProperty("Offscreen processing")->SetFromText(&m_template, "1"));
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }

    ParticleEntity* Create()
    {
        auto* entity =
            static_cast<ParticleEntity*>(gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, 0, nullptr));
        EXPECT_NE(entity, nullptr);
        return entity;
    }

    // Frames of 0.1 s on every clock, then the render-side system's state.
    SystemState Frames(ParticleEntity* entity, int frames)
    {
        for (int i = 0; i < frames; ++i)
        {
            for (FrameClock& clock : m_clocks)
            {
                clock.accumulatedCounter += 1000000;
                clock.lastStepSeconds = 0.1f;
            }
            m_renderer.SetFrameTimes(m_clocks[0], m_clocks[1], m_clocks[2], 0);
        }
        SystemState state;
        auto* context = entity->GetParticleContext();
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
            state.system = context->GetRenderSideSystem();
            if (state.system == nullptr)
                return;
            state.count = state.system->GetCount();
            state.emitting = state.system->IsEmitting();
            state.parked = state.system->IsInParkList();
            state.speed = state.system->GetSpeedMultiplier();
            state.colorMultiplier = context->GetColorMultiplier().w;
            state.spawner = state.system->GetCustomSpawner();
            state.smoothed = state.system->GetSmoothedBounds();
        });
        return state;
    }

    ParticleTemplate m_template;
    FrameClock m_clocks[3];
    // Spawners the entities still own die in TearDown, after the test body has returned.
    int m_spawnerDeaths = 0;
};

TEST_F(ParticleEntityTest, SpawnInGameOffStaysSilentUntilStartSpawning)
{
    ParticleEntity* entity = Create();
    ASSERT_TRUE(entity->GetClassProperties()->FindProperty("Spawn in game")->SetFromText(entity, "0"));
    entity->PostCreateInit();
    EXPECT_EQ(entity->GetGameStartFlag(), 1u);
    EXPECT_FALSE(entity->IsSpawning());
    // Non-mesh systems carry mesh flags 0x11: render bit 0x20 set, 0x40 and 0x80 clear.
    EXPECT_EQ(entity->GetRenderFlags() & 0x1E0u, 0x120u);
    SystemState silent = Frames(entity, 5);
    ASSERT_NE(silent.system, nullptr);
    EXPECT_FALSE(silent.emitting);
    EXPECT_EQ(silent.count, 0u);

    entity->StartSpawning();
    EXPECT_TRUE(entity->IsSpawning());
    const SystemState spawning = Frames(entity, 3);
    EXPECT_TRUE(spawning.emitting);
    EXPECT_GT(spawning.count, 20u);
    entity->StopSpawning();
    const SystemState stopped = Frames(entity, 1);
    EXPECT_FALSE(stopped.emitting);
    EXPECT_GE(stopped.count, spawning.count) << "live particles play out";
    entity->OnPropertiesChanged();
    EXPECT_FALSE(Frames(entity, 1).emitting) << "an edit does not restart a stopped entity";
}

TEST_F(ParticleEntityTest, APropertyEditRestartsASpawningEntityWithAFreshSystem)
{
    ParticleEntity* entity = Create();
    entity->PostCreateInit();
    ASSERT_TRUE(entity->IsSpawning());
    const SystemState before = Frames(entity, 10);
    EXPECT_GT(before.count, 80u);
    entity->SetSpeedMultiplier(0.5f);
    EXPECT_FLOAT_EQ(Frames(entity, 1).speed, 0.5f);

    ASSERT_TRUE(entity->GetClassProperties()->FindPropertyInClassChain("Visible in combat view")->SetFromText(entity, "2"));
    entity->OnPropertiesChanged();
    EXPECT_NE(entity->GetViewVisibility() & ENTITYVIEW_HIDDEN_COMBAT, 0u) << "the edited view setting holds";
    const SystemState after = Frames(entity, 1);
    ASSERT_NE(after.system, nullptr);
    EXPECT_NE(after.system, before.system);
    EXPECT_TRUE(after.emitting);
    EXPECT_LT(after.count, 20u) << "particles restart from zero";
    EXPECT_FLOAT_EQ(after.speed, 1.0f) << "the speed multiplier is not remembered";
    EXPECT_EQ(entity->GetGameStartFlag(), 0u) << "an edited entity is no longer as the game set it up";
}

TEST_F(ParticleEntityTest, ACustomSpawnerReachesEachSystemUntilReplacedAndTheDebugDrawShowsTheRealBox)
{
    ParticleEntity* entity = Create();
    entity->PostCreateInit();
    auto* first = new WatchingSpawner(m_spawnerDeaths); // the entity owns it
    entity->SetCustomSpawner(first);
    SystemState state = Frames(entity, 3);
    EXPECT_EQ(state.spawner, first);
    EXPECT_GT(state.count, 20u);
    EXPECT_EQ(first->boundsCalls, 3);
    EXPECT_EQ(first->last.max.x, state.smoothed.max.x) << "it is told the smoothed box";
    auto* second = new WatchingSpawner(m_spawnerDeaths);
    entity->SetCustomSpawner(second);
    entity->SetCustomSpawner(second);
    EXPECT_EQ(Frames(entity, 1).spawner, second);
    EXPECT_EQ(m_spawnerDeaths, 1) << "the replaced one goes, the one set twice stays";
    entity->OnPropertiesChanged();
    state = Frames(entity, 1);
    EXPECT_EQ(state.spawner, second) << "a rebuilt system gets it too";
    EXPECT_EQ(m_spawnerDeaths, 1);

    // The unit box, and the measured box once per box the system published.
    for (const auto& [realBox, commands] : {std::pair{"0", 1u}, {"1", 2u}, {"1", 1u}})
    {
        ASSERT_TRUE(entity->GetClassProperties()->FindProperty("Display real bounding box")->SetFromText(entity, realBox));
        const uint32_t before = m_renderer.GetCommandsWritten();
        entity->DrawDebug(0);
        EXPECT_EQ(m_renderer.GetCommandsWritten() - before, commands) << realBox;
    }
    // The unit box takes the template's wireframe colour, white when flag 2 asks for it.
    {
        RenderStreamCapture capture;
        entity->DrawDebug(0);
        entity->DrawDebug(2);
        capture.Take();
        for (const bool white : {false, true})
        {
            ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
            capture.Skip(sizeof(BoundingBox4) + sizeof(Matrix));
            EXPECT_EQ(capture.Read<Vector>().x == 1.0f, white);
        }
    }
    gRenderer = &m_renderer; // the capture's renderer took the global over and cleared it
}

TEST_F(ParticleEntityTest, OffscreenProcessingKeepsAnUndrawnSystemFromParking)
{
    for (const char* offscreen : {"0", "1"})
    {
        ASSERT_TRUE(m_template.GetClassProperties()->FindProperty("Offscreen processing")->SetFromText(&m_template, offscreen));
        ParticleEntity* entity = Create();
        entity->PostCreateInit();
        EXPECT_EQ((entity->GetParticleContext()->GetFlags() & ParticleEntityRenderingContext::kFlagMayPark) != 0,
                  offscreen[0] == '0');
        const SystemState state = Frames(entity, 6);
        EXPECT_EQ(state.parked, offscreen[0] == '0') << "offscreen " << offscreen;
        EXPECT_EQ(state.count == 0, offscreen[0] == '0') << "offscreen " << offscreen;
    }
}

TEST_F(ParticleEntityTest, EditorPlacementAndTemplateBoundsRebuildTheSystemForTheEditor)
{
    const struct
    {
        const char* spawnInEditor;
        bool bounds; // the template's bounds changed instead of the entity being placed
        bool spawning;
    } rows[] = {{"1", false, true}, {"0", false, false}, {"0", true, false}};
    for (const auto& row : rows)
    {
        ParticleEntity* entity = Create();
        ASSERT_TRUE(entity->GetClassProperties()->FindProperty("Spawn in game")->SetFromText(entity, "0"));
        ASSERT_TRUE(entity->GetClassProperties()->FindProperty("Spawn in editor")->SetFromText(entity, row.spawnInEditor));
        entity->PostCreateInit();
        const SystemState before = Frames(entity, 1);
        entity->GetParticleContext()->SetColorMultiplier(Vector(0.5f, 0.5f, 0.5f, 0.5f));
        if (row.bounds)
            entity->ResetBoundsFromTemplate("Static bounding box");
        else
            entity->RefreshRendering();
        EXPECT_EQ(entity->GetGameStartFlag(), 0u) << "built for the editor";
        EXPECT_EQ(entity->IsSpawning(), row.spawning) << row.spawnInEditor;
        const SystemState after = Frames(entity, 2);
        EXPECT_NE(after.system, before.system) << "a fresh system";
        EXPECT_EQ(after.emitting, row.spawning) << row.spawnInEditor;
        EXPECT_FLOAT_EQ(after.colorMultiplier, 1.0f) << "the entity's own white comes back";
    }
}
// Particle templates carry no box: the entity stands in the grid by the unit box round its place,
// from its making and after its template's box changed, so that the view finds it. A spawning
// entity whose template changes spawns on from the new system.
TEST_F(ParticleEntityTest, TheEntityIsPlacedByTheUnitBoxWhateverItsTemplateSays)
{
    Matrix place;
    place.LoadTranslation(35, 0, 45);
    auto* entity = static_cast<ParticleEntity*>(gEntityManager.CreateEntity(&m_template, nullptr, place, 0, nullptr));
    entity->PostCreateInit();
    const BoundingBox4 around(Vector(34, -1, 44, 1), Vector(36, 1, 46, 1));
    EXPECT_EQ(entity->GetWorldBoundingBox(), around);
    EXPECT_EQ(entity->GetCellRange(PathGrid::kRenderList).x0, 3);
    m_template.SetStaticBoundingBox(BoundingBox4(Vector(-20, -20, -20, 1), Vector(20, 20, 20, 1)));
    entity->ResetBoundsFromTemplate("Static bounding box");
    EXPECT_EQ(entity->GetWorldBoundingBox(), around);
    const SystemState before = Frames(entity, 1);
    entity->ChangeTemplate(&m_template);
    EXPECT_EQ(entity->GetWorldBoundingBox(), around);
    const SystemState after = Frames(entity, 3);
    ASSERT_NE(after.system, nullptr);
    EXPECT_NE(after.system, before.system);
    EXPECT_TRUE(after.emitting);
    EXPECT_GT(after.count, 20u);
    // An entity without a particle template has nothing to draw.
    ParticleEntity bare;
    EXPECT_EQ(bare.CreateRenderingContext(), nullptr);
}
} // namespace
