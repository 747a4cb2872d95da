// ctest-labels: thread
// The playing effect: its calls, the per-frame walk on the chosen clock, finishing, bounds handed
// to the game thread, parking, loops, carry-over, nesting limits and the element draws.
#include "effects/SFXContext.h"

#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXElementContext.h"
#include "renderer/SceneEnvironment.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
// Records every call an element context gets.
class ProbeContext : public SFXElementContext
{
public:
    void SetSpeedMultiplier(float f) override { speed = f; }
    void SetLifeMultiplier(float f) override { life = f; }
    void SetSpawnRateMultiplier(float f) override { spawnRate = f; }
    void SetSpawner(ParticleSpawner* s) override { spawner = s; }
    void Start(uint8_t skip) override { started = skip; }
    void FadeOutSound(float s) override { fade = s; }
    void SetSoundMuted(uint8_t m) override { muted = m; }
    void Stop() override { ++stops; }
    void TakeOver(SFXElementContext& old) override { takenFrom = &old; }
    void OnMeshTemplateChanged(const SFXElementDefinition&) override { ++meshChanges; }
    bool IsBusy() const override { return busy; }

    float speed = 1, life = 1, spawnRate = 1, fade = -1;
    ParticleSpawner* spawner = nullptr;
    int started = -1, muted = -1, stops = 0, meshChanges = 0;
    SFXElementContext* takenFrom = nullptr;
    bool busy = false;
};

struct DrawRecord
{
    std::string name;
    Matrix matrix;
    Vector color;
    uint32_t passMask, passFlags;
    const SFXElementContext* context = nullptr;
};

class ProbeElement : public SFXElementDefinition
{
public:
    explicit ProbeElement(const char* name, uint32_t passBits = 17) { SetDescription(name), m_passBits = passBits; }
    SFXElementContext* CreateContext() const override { return new ProbeContext; }
    bool IsNestedSfx() const override { return nested; }
    bool IsDrawnInFilteredPass() const override { return filtered; }
    void Draw(const Matrix& m, const Vector& c, SFXElementContext*, uint32_t passMask, uint32_t, uint32_t passFlags)
        const override
    {
        draws.push_back({GetDescription(), m, c, passMask, passFlags});
    }
    void DrawDepth(const Matrix& m, SFXElementContext*) const override
    {
        draws.push_back({"depth " + GetDescription(), m, Vector(), 0, 0});
    }
    bool DrawChannel(const Matrix& m, SFXElementContext* context) const override
    {
        draws.push_back({"channel " + GetDescription(), m, Vector(), 0, 0, context});
        return true;
    }
    uint32_t GetChannelMask(const SFXElementContext*) const override { return channels; }
    void SetDepthPass(uint8_t on) { m_depthPass = on; }
    EntityTemplate* GetResource() const override { return resource; }
    // What the effect's render side had done by the refresh: it must have run every queued command.
    void RefreshResource() override
    {
        ++refreshes;
        speedAtRefresh = watched != nullptr ? watched->GetSpeedMultiplier() : 0;
    }
    void SetOptions(bool scaleWithParent, uint32_t faceCamera)
    {
        GetClassProperties()->FindProperty("Scale with parent")->SetFromText(this, scaleWithParent ? "1" : "0");
        GetClassProperties()->FindProperty("Face camera mode")->SetFromText(this, std::to_string(faceCamera).c_str());
    }
    TEnvelope<Vector>& Position() { return const_cast<TEnvelope<Vector>&>(GetPosition()); }
    TEnvelope<HDRColor>& Color() { return const_cast<TEnvelope<HDRColor>&>(GetColor()); }

    bool nested = false, filtered = false;
    uint32_t channels = 0;
    EntityTemplate* resource = nullptr;
    int refreshes = 0;
    const SFXContext* watched = nullptr;
    float speedAtRefresh = 0;
    static std::vector<DrawRecord> draws;
};
std::vector<DrawRecord> ProbeElement::draws;

// An element that plays for `seconds` (keyed position), optionally held in a loop.
ProbeElement* Timed(const char* name, float seconds, bool loop = false)
{
    auto* element = new ProbeElement(name);
    element->Position().AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
    element->Position().AddKey(Vector(0, 0, 0, 0), seconds, -1);
    if (loop)
    {
        EnvelopeLoop l;
        l.m_end = Envelope::ToKeyTime(seconds);
        l.m_name = NameString("Hold");
        element->Position().GetLoops().Add(l);
    }
    return element;
}

class SFXContextTest : public RendererTestBase
{
protected:
    void TearDown() override
    {
        for (SFXContext* context : m_contexts)
            context->Release();
        m_renderer.SubmitCommands(true);
        m_definitions.clear();
        ProbeElement::draws.clear();
        RendererTestBase::TearDown();
    }
    // Without the scene's SFX colour unless asked, so draws see only the effect's own colours.
    SFXContext& Play(SFXDefinition& definition, uint32_t flags = 0, bool start = true, bool nested = false,
                     bool sceneColor = false)
    {
        definition.ResolveElements(false);
        auto* context = new SFXContext(m_renderer, nullptr, flags | SFXContext::kFlagNoGrid, nested, sceneColor);
        context->Init(definition, Matrix::ONE, false, 0);
        if (start)
            context->PostRestart(1, 0);
        m_contexts.push_back(context);
        m_renderer.SubmitCommands(true);
        return *context;
    }
    // One walk with the three clocks' steps.
    void Walk(float engine, float game, float second)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { SFXContext::RenderAll(10, engine, 20, game, 30, second); });
    }
    ProbeContext& Probe(SFXContext& context, int32_t i)
    {
        return *static_cast<ProbeContext*>(context.GetElementContext(i));
    }
    void Presents(int n)
    {
        for (int i = 0; i < n; ++i)
            m_renderer.Present();
        m_renderer.SubmitCommands(true);
    }
    SFXDefinition& Define()
    {
        m_definitions.push_back(std::make_unique<SFXDefinition>());
        return *m_definitions.back();
    }
    std::vector<SFXContext*> m_contexts;
    std::vector<std::unique_ptr<SFXDefinition>> m_definitions;
};

TEST_F(SFXContextTest, CallsReachEveryElementAndNamedCallsOnlyTheirNames)
{
    SFXDefinition& definition = Define();
    for (const char* name : {"A", "B", "A"})
        definition.AddElement(new ProbeElement(name));
    SFXContext& context = Play(definition, 0, false);
    auto* spawner = reinterpret_cast<ParticleSpawner*>(&context);
    context.PostRestart(1, 1);
    context.PostSetSpeedMultiplier(2.5f);
    context.PostSetSpawnRateMultiplier(-3.0f);
    context.PostSetSpawner(spawner);
    context.PostFadeOutSound(0.7f, 1);
    context.PostSetElementLocalColor("A", Vector(0.5f, 0.25f, 1, 1));
    context.PostSetElementSpeedMultiplier("B", 4.0f);
    context.PostSetElementLifeMultiplier("A", 6.0f);
    context.PostSetElementLocalColor("None", Vector(0, 0, 0, 0));
    context.PostSetPassMasks(0xF0, 0x3);
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(context.IsActive());
    EXPECT_FLOAT_EQ(context.GetSpeedMultiplier(), 2.5f);
    EXPECT_EQ(context.GetSpawnRateMultiplier(), 0.0f) << "a negative spawn rate becomes 0";
    EXPECT_EQ(context.GetPassAndMask(), 0xF0u);
    EXPECT_EQ(context.GetPassOrMask(), 0x3u);
    for (int32_t i = 0; i < 3; ++i)
    {
        const ProbeContext& probe = Probe(context, i);
        const bool a = i != 1;
        EXPECT_EQ(probe.started, 1) << i;
        EXPECT_EQ(probe.spawnRate, 0.0f) << i;
        EXPECT_EQ(probe.spawner, spawner) << i;
        EXPECT_FLOAT_EQ(probe.fade, 0.7f) << i;
        EXPECT_EQ(probe.muted, 1) << i;
        EXPECT_FLOAT_EQ(probe.speed, a ? 2.5f : 4.0f) << i;
        EXPECT_FLOAT_EQ(probe.life, a ? 6.0f : 1.0f) << i;
        EXPECT_FLOAT_EQ(probe.GetColor().y, a ? 0.25f : 1.0f) << i;
    }
    context.PostSetColor(Vector(0.1f, 0.1f, 0.1f, 0.1f));
    context.PostSubOp1();
    m_renderer.SubmitCommands(true);
    EXPECT_FALSE(context.IsActive());
    EXPECT_EQ(Probe(context, 1).stops, 1);
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_FLOAT_EQ(Probe(context, i).GetColor().x, 0.1f) << "the colour reaches every element, " << i;
}

TEST_F(SFXContextTest, TheWalkAdvancesOnTheClockTheFlagsPickTimesTheSpeed)
{
    struct Case
    {
        uint32_t flags;
        float expected;
    } const cases[] = {{0, 0.2f}, {SFXContext::kFlagEngineClock, 0.1f}, {SFXContext::kFlagThirdClock, 0.3f},
                       {SFXContext::kFlagEngineClock | SFXContext::kFlagThirdClock, 0.1f}};
    for (const Case& c : cases)
    {
        SFXDefinition& definition = Define();
        definition.AddElement(Timed("T", 10.0f));
        SFXContext& context = Play(definition, c.flags);
        context.PostSetSpeedMultiplier(2.0f);
        Walk(0.1f, 0.2f, 0.3f);
        EXPECT_FLOAT_EQ(context.GetTime(), 2 * c.expected) << c.flags;
        EXPECT_FLOAT_EQ(Probe(context, 0).GetState(SFXElementDefinition::STATE_POSITION).time, 2 * c.expected);
        context.Release();
        m_contexts.clear();
    }
}

TEST_F(SFXContextTest, AnEffectFinishesWhenNoElementRunsAndAStoppedOneDoesNotMove)
{
    SFXDefinition& empty = Define();
    auto* disabled = new ProbeElement("Off");
    disabled->SetEnabled(false);
    empty.AddElement(disabled);
    SFXContext& idle = Play(empty);
    EXPECT_FALSE(idle.IsFinished());
    Walk(0, 0.1f, 0);
    EXPECT_TRUE(idle.IsFinished());
    EXPECT_TRUE(idle.IsActive()) << "finished is not stopped";
    EXPECT_EQ(idle.GetElementContext(0), nullptr);
    // One disabled while it plays is skipped too: its busy context no longer keeps the effect running.
    SFXDefinition& toggled = Define();
    toggled.AddElement(new ProbeElement("Busy"));
    SFXContext& paused = Play(toggled);
    Probe(paused, 0).busy = true;
    toggled.GetElements()[0]->SetEnabled(false);
    Walk(0, 0.1f, 0);
    EXPECT_TRUE(paused.IsFinished());

    SFXDefinition& timed = Define();
    timed.AddElement(Timed("T", 1.0f));
    timed.AddElement(new ProbeElement("Busy"));
    timed.AddElement(Timed("U", 1.0f));
    SFXContext& context = Play(timed);
    Probe(context, 1).busy = true;
    Walk(0, 1.5f, 0);
    EXPECT_FALSE(context.IsFinished()) << "a busy element keeps the effect running";
    Probe(context, 1).busy = false;
    Walk(0, 0.1f, 0);
    EXPECT_TRUE(context.IsFinished());
    context.PostSubOp1();
    m_renderer.SubmitCommands(true);
    const float time = context.GetTime();
    Walk(0, 1.0f, 0);
    EXPECT_EQ(context.GetTime(), time);
}

TEST_F(SFXContextTest, BoundsArePublishedOnceTakenAndEqualTheElementBoxes)
{
    SFXDefinition& definition = Define();
    definition.SetScaleForAllElements(Vector(2, 1, 1, 1));
    auto* moved = new ProbeElement("Moved");
    moved->Position().SetConstantValue(Vector(3, 0, 0, 1));
    definition.AddElement(moved);
    auto* hidden = new ProbeElement("NoBox");
    hidden->Position().SetConstantValue(Vector(0, 50, 0, 1));
    hidden->GetClassProperties()->FindProperty("Expands bounding box")->SetFromText(hidden, "0");
    definition.AddElement(hidden);
    SFXContext& context = Play(definition);
    BoundingBox4 box;
    EXPECT_FALSE(context.GetDynamicBounds(&box)) << "nothing published before the first update";
    Walk(0, 0.1f, 0);
    // The moved unit box spans x 2..4, scaled by 2 on x, then grown by 0.01.
    ASSERT_TRUE(context.GetDynamicBounds(&box));
    EXPECT_FLOAT_EQ(box.min.x, 3.99f);
    EXPECT_FLOAT_EQ(box.max.x, 8.01f);
    EXPECT_FLOAT_EQ(box.min.y, -1.01f);
    EXPECT_FLOAT_EQ(box.max.y, 1.01f);
    EXPECT_EQ(box.min.w, 1.0f);
    EXPECT_FALSE(context.GetDynamicBounds(&box)) << "each box is taken once";

    // Camera-facing elements grow by the cube of their farthest coordinate; an element that does
    // not scale with its parent adds the parent's origin.
    moved->SetOptions(false, 1);
    Walk(0, 0.1f, 0);
    ASSERT_TRUE(context.GetDynamicBounds(&box));
    EXPECT_FLOAT_EQ(box.min.x, -8.01f);
    EXPECT_FLOAT_EQ(box.max.x, 8.01f);
    EXPECT_FLOAT_EQ(box.min.z, -4.01f);
    EXPECT_FLOAT_EQ(box.max.y, 4.01f);

    moved->GetClassProperties()->FindProperty("Expands bounding box")->SetFromText(moved, "0");
    Walk(0, 0.1f, 0);
    EXPECT_FALSE(context.GetDynamicBounds(&box)) << "no element expands the box: none is published";
}

TEST_F(SFXContextTest, ParkingPausesLoopsAndEndsTheRestUntilTheNextDraw)
{
    SFXDefinition& looping = Define();
    looping.AddElement(Timed("L", 1.0f, true));
    SFXDefinition& once = Define();
    once.AddElement(Timed("O", 10.0f));
    SFXContext& loop = Play(looping, SFXContext::kFlagMayPark);
    SFXContext& plain = Play(once, SFXContext::kFlagMayPark);
    SFXContext& kept = Play(once, 0);
    Walk(0, 0.1f, 0);
    Presents(3);
    Walk(0, 0.1f, 0);
    EXPECT_TRUE(loop.IsRegistered()) << "three undrawn frames are allowed";
    Presents(1);
    Walk(0, 0.1f, 0);
    EXPECT_FALSE(loop.IsRegistered());
    EXPECT_TRUE(loop.IsActive());
    EXPECT_FALSE(loop.IsFinished());
    EXPECT_FALSE(plain.IsRegistered());
    EXPECT_FALSE(plain.IsActive());
    EXPECT_TRUE(plain.IsFinished());
    EXPECT_TRUE(kept.IsRegistered());
    const float paused = loop.GetTime();
    Walk(0, 0.5f, 0);
    EXPECT_EQ(loop.GetTime(), paused);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { loop.DrawEffect(Vector(1, 1, 1, 1), 0, 0, 0); });
    EXPECT_TRUE(loop.IsRegistered());
    Walk(0, 0.5f, 0);
    EXPECT_FLOAT_EQ(loop.GetTime(), paused + 0.5f);
}

TEST_F(SFXContextTest, BreakingLoopsByNameOrAllAndActivatingThemAgain)
{
    SFXDefinition& definition = Define();
    definition.AddElement(Timed("A", 1.0f, true));
    definition.AddElement(Timed("B", 1.0f, true));
    SFXContext& context = Play(definition);
    Walk(0, 0.5f, 0);
    // An unknown or empty name breaks nothing.
    context.PostBreakLoop("Other");
    context.PostBreakLoop("");
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Probe(context, 0).GetState(SFXElementDefinition::STATE_POSITION).loop, 0u);
    context.PostBreakLoop("Hold");
    m_renderer.SubmitCommands(true);
    // Past the one released loop, in both elements that hold it.
    EXPECT_EQ(Probe(context, 0).GetState(SFXElementDefinition::STATE_POSITION).loop, 1u);
    EXPECT_EQ(Probe(context, 1).GetState(SFXElementDefinition::STATE_POSITION).loop, 1u);
    EXPECT_TRUE(context.IsActive()) << "a context in the walk finishes through its update";
    Walk(0, 1.0f, 0);
    EXPECT_TRUE(context.IsFinished());
    context.PostActivateLoop(nullptr);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Probe(context, 1).GetState(SFXElementDefinition::STATE_POSITION).time, 0.0f);
    EXPECT_EQ(Probe(context, 1).GetState(SFXElementDefinition::STATE_POSITION).loop, 0u);

    // Outside the walk, releasing the last loop ends the effect at once.
    SFXContext& nested = Play(definition, 0, true, true);
    EXPECT_FALSE(nested.IsRegistered());
    nested.PostBreakLoop(nullptr);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Probe(nested, 1).GetState(SFXElementDefinition::STATE_POSITION).loop, Envelope::kNoLoop);
    EXPECT_FALSE(nested.IsActive());
    EXPECT_TRUE(nested.IsFinished());
}

TEST_F(SFXContextTest, ReinitialisingCarriesStatesOverOnlyWhenAskedAndCountsMatch)
{
    SFXDefinition& definition = Define();
    // An element without a context does not stop the later ones carrying over.
    definition.AddElement(Timed("A", 5.0f));
    definition.GetElements()[0]->SetEnabled(false);
    definition.AddElement(Timed("B", 5.0f));
    SFXContext& context = Play(definition);
    // The walk is still queued when the reinitialisation reads the states: it must wait for it.
    const std::function<void(NorvexRenderer&)> walk = [](NorvexRenderer&) {
        SFXContext::RenderAll(10, 0, 20, 1.5f, 30, 0);
    };
    PostToRenderThread(m_renderer, walk);
    SFXElementContext* const old = context.GetElementContext(1);
    definition.ReinitContexts(true);
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(Probe(context, 1).GetState(SFXElementDefinition::STATE_POSITION).time, 1.5f);
    EXPECT_EQ(Probe(context, 1).takenFrom, old);
    EXPECT_EQ(context.GetTime(), 0.0f);
    definition.ReinitContexts(false);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Probe(context, 1).GetState(SFXElementDefinition::STATE_POSITION).time, 0.0f);
    EXPECT_EQ(Probe(context, 1).takenFrom, nullptr);
    Walk(0, 1.0f, 0);
    definition.AddElement(Timed("C", 5.0f));
    definition.ResolveElements(false);
    context.Init(definition, Matrix::ONE, true, 0);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Probe(context, 1).GetState(SFXElementDefinition::STATE_POSITION).time, 0.0f)
        << "a changed element count carries nothing over";
    // An edit of the definition restarts its contexts from the beginning.
    Walk(0, 1.0f, 0);
    definition.OnPropertyChanged(nullptr);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(Probe(context, 1).GetState(SFXElementDefinition::STATE_POSITION).time, 0.0f);
}

TEST_F(SFXContextTest, ANestedContextRefusesNestedElementsOncePerInitialisation)
{
    SFXDefinition& definition = Define();
    auto* first = new ProbeElement("N1");
    first->nested = true;
    auto* second = new ProbeElement("N2");
    second->nested = true;
    definition.AddElement(first);
    definition.AddElement(new ProbeElement("Q"));
    definition.AddElement(second);
    SFXContext& top = Play(definition);
    EXPECT_NE(top.GetElementContext(0), nullptr) << "a top-level effect may nest";
    m_log.Clear();
    SFXContext& nested = Play(definition, 0, true, true);
    EXPECT_EQ(nested.GetElementContext(0), nullptr);
    EXPECT_NE(nested.GetElementContext(1), nullptr);
    EXPECT_EQ(nested.GetElementContext(2), nullptr);
    // Calls to every element or to a refused one's name pass over the missing contexts.
    nested.PostSetSpeedMultiplier(2.0f);
    nested.PostSetElementSpeedMultiplier("N1", 2.0f);
    m_renderer.SubmitCommands(true);
    EXPECT_FLOAT_EQ(Probe(nested, 1).speed, 2.0f);
    const char* const message = "SFXes with nested SFXes with nested SFXes are not allowed! Don't be silly...";
    size_t count = 0;
    for (const CapturedMessage& m : m_log.Messages())
        count += m.text.find(message) != std::string::npos && m.kind == CONSOLE_ERROR && m.channel == 2;
    EXPECT_EQ(count, 1u);
}

TEST_F(SFXContextTest, DrawsFilterByPassViewAndAlphaAndCombineTheColours)
{
    SFXDefinition& definition = Define();
    auto* quad = new ProbeElement("Quad", 0x11);
    quad->Color().SetConstantValue(HDRColor(255, 255, 255, 51));
    quad->Position().SetConstantValue(Vector(1, 0, 0, 1));
    definition.AddElement(quad);
    auto* light = new ProbeElement("Light", 0x2);
    definition.AddElement(light);
    auto* clear = new ProbeElement("Clear", 0x11);
    clear->Color().SetConstantValue(HDRColor(255, 255, 255, 0));
    definition.AddElement(clear);
    auto* combat = new ProbeElement("Combat", 0x11);
    combat->GetClassProperties()->FindProperty("Visible in tactical view")->SetFromText(combat, "0");
    definition.AddElement(combat);
    SFXContext& context = Play(definition);
    Matrix world;
    world.LoadUniformScale(3.0f);
    world.rows[3] = Vector(0, 0, 10, 1);
    context.SetTransformAndBounds(world, world, false, BoundingBox4::UNITCUBE3D);
    context.PostSetElementLocalColor("Quad", Vector(1, 0.5f, 1, 1));
    Walk(0, 0.1f, 0);
    auto drawn = [&](uint32_t passFlags, uint32_t passMask) {
        ProbeElement::draws.clear();
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
            context.DrawEffect(Vector(1, 1, 0.5f, 1), passFlags, passMask, 0);
        });
        std::string names;
        for (const DrawRecord& r : ProbeElement::draws)
            names += r.name + " ";
        return names;
    };
    EXPECT_EQ(drawn(0, 0x1), "Quad Combat ");
    ASSERT_EQ(ProbeElement::draws.size(), 2u);
    const DrawRecord& q = ProbeElement::draws[0];
    // The local offset is scaled by the parent: x = 1 x 3; the parent moves z to 10.
    EXPECT_FLOAT_EQ(q.matrix.rows[3].x, 3.0f);
    EXPECT_FLOAT_EQ(q.matrix.rows[3].z, 10.0f);
    EXPECT_FLOAT_EQ(q.matrix.At(0, 0), 3.0f);
    EXPECT_FLOAT_EQ(q.color.y, 0.5f) << "colour x element colour x draw colour";
    EXPECT_FLOAT_EQ(q.color.z, 0.5f);
    EXPECT_FLOAT_EQ(q.color.w, 0.2f);
    EXPECT_EQ(drawn(0, 0x2), "Light ");
    EXPECT_EQ(drawn(0x1000, 0x11), "Quad ") << "tactical view";
    EXPECT_EQ(drawn(0x1, 0xFF), "") << "pass flag 1 draws nothing";
    EXPECT_EQ(drawn(0x10, 0xFF), "") << "the filtered pass takes only elements that ask for it";
    quad->filtered = true;
    EXPECT_EQ(drawn(0x10, 0xFF), "Quad ");
    // The masks apply before the filters: OR-ing flag 1 silences every draw.
    context.PostSetPassMasks(0xFFFFFFFFu, 0x1);
    EXPECT_EQ(drawn(0, 0xFF), "");
    EXPECT_EQ(ProbeElement::draws.size(), 0u);
    context.PostSetPassMasks(~0x1000u, 0);
    EXPECT_EQ(drawn(0x1000, 0x11), "Quad Combat ") << "the AND mask clears the tactical flag";
    context.PostSetPassMasks(0xFFFFFFFFu, 0);
    // Without its parent's scale an element keeps unit axes.
    quad->SetOptions(false, 0);
    drawn(0, 0x1);
    EXPECT_FLOAT_EQ(ProbeElement::draws[0].matrix.At(0, 0), 1.0f);
    EXPECT_FLOAT_EQ(ProbeElement::draws[0].matrix.rows[3].x, 1.0f);
    // Of the parent's scale it keeps only the definition's scale for all elements.
    const RTTIProperty* const scaleForAll = definition.GetClassProperties()->FindProperty("Scale for all elements");
    ASSERT_TRUE(scaleForAll->SetFromText(&definition, "2 1 1 1"));
    drawn(0, 0x1);
    EXPECT_FLOAT_EQ(ProbeElement::draws[0].matrix.At(0, 0), 2.0f);
    // A parent flattened to no height keeps the element flat rather than infinite.
    Matrix flat = world;
    flat.rows[1] = Vector(0, 0, 0, 0);
    context.SetTransformAndBounds(flat, flat, false, BoundingBox4::UNITCUBE3D);
    drawn(0, 0x1);
    EXPECT_TRUE(ProbeElement::draws[0].matrix.rows[1].Equal(Vector(0, 0, 0, 0)));
    EXPECT_FLOAT_EQ(ProbeElement::draws[0].matrix.At(2, 2), 1.0f);
    context.SetTransformAndBounds(world, world, false, BoundingBox4::UNITCUBE3D);
    // With it, each of the parent's axes takes its own factor.
    quad->SetOptions(true, 0);
    drawn(0, 0x1);
    EXPECT_FLOAT_EQ(ProbeElement::draws[0].matrix.At(0, 0), 6.0f);
    EXPECT_FLOAT_EQ(ProbeElement::draws[0].matrix.At(2, 2), 3.0f);
    context.PostSubOp1();
    EXPECT_EQ(drawn(0, 0xFF), "") << "a stopped effect draws nothing";

    // With the template's switch and the element's, the scene's SFX colour multiplies in.
    SFXContext& scene = Play(definition, 0, true, false, true);
    scene.SetTransformAndBounds(world, world, false, BoundingBox4::UNITCUBE3D);
    Walk(0, 0.1f, 0);
    SceneParametersWrapper tinted;
    tinted.SetDefaults();
    tinted.GetShading().sfxColorMultiplier = Vector(1.0f, 0.5f, 1.0f, 1.0f);
    ProbeElement::draws.clear();
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        gSceneEnvironment.CreateSets();
        gSceneEnvironment.StartBlend(&tinted, SceneEnvironment::kBlendTemporary, 0, 0.0f);
        scene.DrawEffect(Vector(1, 1, 1, 1), 0, 0x2, 0);
        gSceneEnvironment.DeleteSets();
    });
    ASSERT_EQ(ProbeElement::draws.size(), 1u);
    EXPECT_FLOAT_EQ(ProbeElement::draws[0].color.y, 0.5f);
}

TEST_F(SFXContextTest, NamesTooLongForOneCommandAreRefusedAndMeshChangesReachTheirElement)
{
    SFXDefinition& definition = Define();
    auto* mesh = new ProbeElement("Mesh");
    int token = 0;
    mesh->resource = reinterpret_cast<EntityTemplate*>(&token);
    definition.AddElement(new ProbeElement("Other"));
    definition.AddElement(mesh);
    SFXContext& context = Play(definition);
    const std::string name(5000, 'x');
    context.PostSetElementLocalColor(name.c_str(), Vector(0, 0, 0, 0));
    context.PostBreakLoop(name.c_str());
    context.PostSetElementSpeedMultiplier(name.c_str(), 2.0f);
    context.PostSetElementLifeMultiplier(name.c_str(), 2.0f);
    context.PostActivateLoop(name.c_str());
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(m_log.Contains("SFX element name of 4089 bytes does not fit a render command", CONSOLE_ERROR));
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 5u);
    EXPECT_EQ(Probe(context, 0).GetColor().x, 1.0f);
    mesh->watched = &context;
    context.PostSetSpeedMultiplier(3.0f);
    context.PostSubOp16(mesh->resource);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(mesh->refreshes, 1);
    EXPECT_EQ(mesh->speedAtRefresh, 3.0f);
    EXPECT_EQ(Probe(context, 1).meshChanges, 1);
    EXPECT_EQ(Probe(context, 0).meshChanges, 0);
}
} // namespace

TEST_F(SFXContextTest, DepthAndChannelPassesReachTheirElementsThroughTheRenderingContext)
{
    SFXDefinition& plain = Define();
    plain.AddElement(new ProbeElement("Plain", 0x11));
    EXPECT_FALSE(Play(plain).CastsShadows()) << "no depth-pass element";

    SFXDefinition& definition = Define();
    auto* depth = new ProbeElement("Depth", 0x11);
    depth->SetDepthPass(1);
    definition.AddElement(depth);
    auto* channel = new ProbeElement("Channel", 0x11 | 32);
    channel->channels = 0x6;
    auto* combat = new ProbeElement("Combat", 0x11 | 32);
    combat->channels = 0x10;
    combat->GetClassProperties()->FindProperty("Visible in tactical view")->SetFromText(combat, "0");
    auto* unchannelled = new ProbeElement("Unchannelled", 0x11);
    unchannelled->channels = 0x8;
    for (ProbeElement* element : {unchannelled, channel, combat})
        definition.AddElement(element);
    SFXContext& context = Play(definition);
    EXPECT_TRUE(context.CastsShadows()) << "the shadow map takes effects with depth-pass elements";
    Matrix world;
    world.LoadUniformScale(3.0f);
    context.SetTransformAndBounds(world, world, false, BoundingBox4::UNITCUBE3D);
    Walk(0, 0.1f, 0);
    EntityRenderingContext& base = context;
    bool channelDrawn = false;
    uint32_t masks[3] = {};
    ProbeElement::draws.clear();
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        base.DrawDepth(0, 0);
        channelDrawn = base.DrawChannel(Matrix::ONE, 0x1000);
        masks[0] = base.GetChannelMask(0);
        masks[1] = base.GetChannelMask(0x1000);
    });
    std::string names;
    for (const DrawRecord& r : ProbeElement::draws)
        names += r.name + " ";
    EXPECT_EQ(names, "depth Depth channel Channel ");
    EXPECT_EQ(ProbeElement::draws.back().context, &Probe(context, 2)) << "each element draws with its own context";
    for (const DrawRecord& r : ProbeElement::draws)
        EXPECT_FLOAT_EQ(r.matrix.At(0, 0), 3.0f) << r.name << " is placed with its parent's scale";
    EXPECT_TRUE(channelDrawn);
    // Only channel-pass elements seen in the pass's view count; a stopped effect has none.
    context.PostSubOp1();
    m_renderer.SubmitCommands(true);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { masks[2] = base.GetChannelMask(0); });
    EXPECT_EQ(masks[0], 0x16u);
    EXPECT_EQ(masks[1], 0x6u);
    EXPECT_EQ(masks[2], 0u);
}

// An entity deleted or a scene switched while the render thread draws the effect into the shadow
// map: the release leaves the definition's list at once but changes nothing the draw reads, and the
// effect keeps drawing what it was installed with until its posted deletion runs.
TEST_F(SFXContextTest, AReleaseDuringADrawLeavesTheDrawItsDefinitionUntilTheDeletionRuns)
{
    SFXDefinition& definition = Define();
    auto* depth = new ProbeElement("Depth", 0x11);
    depth->SetDepthPass(1);
    definition.AddElement(depth);
    SFXContext& context = Play(definition);
    ProbeElement::draws.clear();
    const SFXDefinition* drawnWith = nullptr;
    size_t drawsBeforeLast = 0;
    OverlapWithRenderThread(
        m_renderer,
        [&](bool last) {
            drawsBeforeLast = ProbeElement::draws.size();
            static_cast<EntityRenderingContext&>(context).DrawDepth(0, 0);
            if (last)
                drawnWith = context.GetRenderDefinition();
        },
        [&] {
            context.Release();
            m_contexts.clear();
            EXPECT_EQ(definition.GetFirstContext(), nullptr) << "the game side forgets the context at once";
        });
    EXPECT_EQ(drawnWith, &definition);
    ASSERT_EQ(ProbeElement::draws.size(), drawsBeforeLast + 1) << "the draw after the release still draws";
    EXPECT_EQ(ProbeElement::draws.back().name, "depth Depth");
}

// A definition that dies under a playing effect (its owner did not release the effect first): the
// render side drops its element contexts and the definition, in stream order, before the elements
// are deleted, and the effect counts as finished.
TEST_F(SFXContextTest, ADefinitionDyingUnderAPlayingEffectDetachesTheRenderSideBeforeItsElementsGo)
{
    // What the render side held when the element was deleted.
    struct Seen
    {
        const SFXDefinition* definition = nullptr;
        int32_t elements = -1;
    };
    struct Watched : ProbeElement
    {
        Watched(SFXContext*& context, Seen& seen) : ProbeElement("Watched"), context(context), seen(seen) {}
        ~Watched() override
        {
            if (context != nullptr)
                seen = {context->GetRenderDefinition(), context->GetElementContextCount()};
        }
        SFXContext*& context;
        Seen& seen;
    };
    SFXContext* watched = nullptr;
    Seen seen{reinterpret_cast<const SFXDefinition*>(&seen), -1};
    auto* doomed = new SFXDefinition;
    doomed->AddElement(new Watched(watched, seen));
    SFXContext& context = Play(*doomed);
    ASSERT_EQ(context.GetRenderDefinition(), doomed);
    watched = &context;
    delete doomed;
    EXPECT_EQ(seen.definition, nullptr);
    EXPECT_EQ(seen.elements, 0);
    EXPECT_EQ(context.GetDefinition(), nullptr);
    EXPECT_TRUE(context.IsFinished());
    EXPECT_TRUE(m_log.Contains("SFXDefinition destroyed while effects still play it", CONSOLE_ERROR));
}

// An element resolved before its template came in takes the template's passes before a context
// plays its effect, and the definition's passes follow. Contexts already playing the effect draw
// from those values on the render thread, so the stream is drained first: what was posted before
// has run when the element changes.
TEST_F(SFXContextTest, AnElementTakesItsLoadedTemplateOnlyOnceTheRenderSideIsIdle)
{
    struct Pending : ProbeElement
    {
        Pending() : ProbeElement("Pending") { SetPending(); }
        void SetPending() { m_templatePending = true; }
        void TakeLoadedTemplate() override
        {
            postedRan.push_back(ran.load());
            m_passBits = 2;
            m_templatePending = false;
        }
        std::atomic<bool> ran{false};
        std::vector<bool> postedRan;
    };
    SFXDefinition definition;
    auto* element = new Pending;
    definition.AddElement(element);
    Play(definition);
    EXPECT_EQ(definition.GetPassBits(), 2u);
    element->SetPending();
    const std::function<void(NorvexRenderer&)> mark = [&](NorvexRenderer&) { element->ran = true; };
    PostToRenderThread(m_renderer, mark);
    Play(definition);
    EXPECT_EQ(element->postedRan, (std::vector<bool>{false, true}));
}
