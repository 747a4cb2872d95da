// ctest-labels: thread
// An effect read from its file takes its mesh template without loading it; when nothing else loaded
// that template, the effect's mesh element still links to the body's rendering data and takes the
// body's box, and its definition takes the body's preset, box and passes before the effect plays;
// a template whose body fails gives no data, no box and only pass 16.
#include "SFXTemplateLoadFixture.h"

#include "effects/sfx/SFXEmbeddedSfxElementDefinition.h"
#include "effects/sfx/SFXMeshElementContext.h"
#include "effects/sfx/SFXMeshElementDefinition.h"
#include "effects/sfx/SFXPhysicalEffectElementDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "support/RenderThreadCall.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/SceneWriter.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace
{
class SFXMeshTemplateLoadTest : public SFXTemplateLoadFixture
{
protected:
    void SetUp() override
    {
        SFXTemplateLoadFixture::SetUp();
        MeshTemplateSpec spec;
        spec.shape = MeshTemplateSpec::Shape::Box;
        spec.boxSize[0] = 2.0f;
        spec.boxSize[1] = 3.0f;
        spec.boxSize[2] = 4.0f;
        spec.shaderPresets = {"Default", "Glow"};
        // Render lists 0x40 and 0x80: passes 16 | 6 | 8; the writer sets the depth-pass byte.
        spec.renderSwitches[1] = 1;
        const uint32_t type = MeshTemplate::kTypeId;
        // An effect whose mesh element shows the crate, and a physical effect of pallet pieces (the
        // same body under another name, so that neither finds the other's mesh loaded).
        SFXTemplate nested;
        auto* crate = new SFXMeshElementDefinition;
        crate->SetMeshTemplateGUID(MakeGUID(1));
        nested.GetDefinition().AddElement(crate);
        PhysicalEffectTemplate pieces;
        pieces.GetEffect().SetShape(PhysicalEffect::SHAPE_CUSTOM_MESH);
        pieces.GetEffect().SetMeshTemplatePath("fx/pallet");
        // A burst of a crate and the pallet's pieces.
        SFXTemplate burst;
        auto* burstCrate = new SFXMeshElementDefinition;
        burstCrate->SetMeshTemplateGUID(MakeGUID(1));
        burst.GetDefinition().AddElement(burstCrate);
        auto* burstPieces = new SFXPhysicalEffectElementDefinition;
        burstPieces->SetPhysicalEffectTemplateGUID(MakeGUID(4));
        burst.GetDefinition().AddElement(burstPieces);
        WriteTemplates(
            {{"crate", 1, type, MeshTemplateWriter::BuildBody(spec, MakeGUID(1))},
             {"broken", 2, type, {}},
             {"crates", 3, SFXTemplate::kTypeId, SceneWriter::BuildTemplateBody(nested, MakeGUID(3), SFXTemplate::kTypeId)},
             {"pieces", 4, PhysicalEffectTemplate::kTypeId,
              SceneWriter::BuildTemplateBody(pieces, MakeGUID(4), PhysicalEffectTemplate::kTypeId)},
             {"pallet", 5, type, MeshTemplateWriter::BuildBody(spec, MakeGUID(5))},
             {"burst", 6, SFXTemplate::kTypeId, SceneWriter::BuildTemplateBody(burst, MakeGUID(6), SFXTemplate::kTypeId)},
             {"barrel", 7, type, MeshTemplateWriter::BuildBody(spec, MakeGUID(7))}});
    }
};

TEST_F(SFXMeshTemplateLoadTest, TheElementShowsItsMeshEvenWhenNothingElseLoadedIt)
{
    struct Row
    {
        const char* name;
        uint8_t guid;
        bool shows;
        uint32_t passBits;
        uint32_t presetIndex;
    };
    const Row rows[] = {{"a template only requested", 1, true, 30, 1}, {"a template whose body fails", 2, false, 16, 0}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SFXDefinition definition;
        auto* element = new SFXMeshElementDefinition;
        element->SetMeshTemplateGUID(MakeGUID(row.guid));
        ASSERT_TRUE(element->GetClassProperties()->FindProperty("Shader preset")->SetFromText(element, "Glow"));
        definition.AddElement(element);
        // As when the effect's own body is read on the resource thread: no waiting for the template.
        definition.ResolveElements(false);
        ASSERT_NE(element->GetMeshTemplate(), nullptr);
        EXPECT_NE(element->GetMeshTemplate()->GetState(), uint32_t(RESOURCE_STATE_NOT_LOADED)) << "its body is asked for";

        SFXContext& context = Play(definition);
        ASSERT_EQ(context.GetElementContextCount(), 1);
        const auto* mesh = static_cast<SFXMeshElementContext*>(context.GetElementContext(0));
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(element->GetMeshTemplate()->IsLoaded(), row.shows);
        EXPECT_EQ(element->GetPassBits(), row.passBits);
        EXPECT_EQ(definition.GetPassBits(), row.passBits);
        EXPECT_EQ(element->GetPresetIndex(), row.presetIndex);
        EXPECT_EQ((context.GetRenderingFlags() & SFXContext::kFlagDepthPass) != 0, row.shows)
            << "the body's depth-pass byte makes the effect a shadow caster";
        if (row.shows)
        {
            EXPECT_EQ(mesh->GetRenderingData(), element->GetMeshTemplate()->GetRenderingData());
            EXPECT_NE(mesh->GetRenderingData(), nullptr);
            const BoundingBox4& bounds = mesh->GetLocalBounds();
            EXPECT_EQ(bounds, element->GetMeshTemplate()->GetStaticBoundingBox());
            EXPECT_FLOAT_EQ(bounds.max.y - bounds.min.y, 3.0f) << "the box of the template's body";
            EXPECT_EQ(element->GetBox(), bounds) << "the box the mesh is drawn with";
        }
        else
        {
            EXPECT_EQ(mesh->GetRenderingData(), nullptr);
            EXPECT_EQ(mesh->GetLocalBounds(), BoundingBox4::INVALID);
            EXPECT_EQ(element->GetBox(), BoundingBox4::INVALID);
        }
        Stop(context, definition);
    }
    // A resolve that may wait waits for the template there, so it refuses one whose body fails.
    SFXMeshElementDefinition waiting;
    waiting.SetMeshTemplateGUID(MakeGUID(2));
    waiting.ResolveResources(true);
    EXPECT_EQ(waiting.GetMeshTemplate(), nullptr);
}

// Elements that reach the mesh through another template read from its file: an embedded effect whose
// mesh element took the mesh without waiting, and a physical effect whose custom mesh was never
// taken while its template was not in. Both take the mesh's passes (17 with 16 | 6 | 8) before the
// effect plays.
TEST_F(SFXMeshTemplateLoadTest, ElementsReachingTheMeshThroughAnotherTemplateTakeItsPasses)
{
    struct Row
    {
        const char* name;
        std::function<SFXElementDefinition*()> make;
        uint8_t depthPass;
    };
    const Row rows[] = {{"an embedded effect",
                         [] {
                             auto* element = new SFXEmbeddedSfxElementDefinition;
                             element->SetSFXTemplateGUID(MakeGUID(3));
                             return element;
                         },
                         1},
                        {"a physical effect",
                         [] {
                             auto* element = new SFXPhysicalEffectElementDefinition;
                             element->SetPhysicalEffectTemplateGUID(MakeGUID(4));
                             return element;
                         },
                         0}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SFXDefinition definition;
        SFXElementDefinition* const element = row.make();
        definition.AddElement(element);
        definition.ResolveElements(false);
        // Asked for, the bodies may come in at once; until then nothing of the mesh is known.
        if (element->IsTemplatePending())
        {
            EXPECT_EQ(element->GetPassBits(), 17u) << "nothing of the mesh is known yet";
        }
        SFXContext& context = Play(definition);
        EXPECT_EQ(element->GetPassBits(), 31u);
        EXPECT_EQ(definition.GetPassBits(), 31u);
        EXPECT_EQ(element->GetDepthPassByte(), row.depthPass);
        // Resource flags set on the effect reach the template the element holds.
        definition.SetElementResourceFlags(RESOURCE_FLAG_KEEP_DATA);
        const auto* physical = dynamic_cast<SFXPhysicalEffectElementDefinition*>(element);
        const EntityTemplate* held =
            physical != nullptr ? static_cast<EntityTemplate*>(physical->GetPhysicalEffectTemplate())
                                : static_cast<SFXEmbeddedSfxElementDefinition*>(element)->GetSFXTemplate();
        EXPECT_NE(held->GetResourceFlags() & RESOURCE_FLAG_KEEP_DATA, 0u);
        Stop(context, definition);
    }
}

// A mesh template edited in place reaches every effect that shows it: the effect's mesh elements
// take its box and passes again, which the render thread draws from, and which the resource thread
// writes while the template's body loads (here the effect's body was read again on the resource
// thread, naming a mesh that another user is loading). The elements take them only once what was
// posted before has run and the bodies are in; the definition's passes follow.
TEST_F(SFXMeshTemplateLoadTest, AMeshChangeReachesItsElementsOnceTheRenderSideIsIdleAndTheBodyIsIn)
{
    SFXDefinition definition;
    auto* element = new SFXMeshElementDefinition;
    element->SetMeshTemplateGUID(MakeGUID(1));
    definition.AddElement(element);
    definition.ResolveElements(false);
    SFXContext& context = Play(definition);
    const auto* mesh = static_cast<SFXMeshElementContext*>(context.GetElementContext(0));
    ASSERT_NE(mesh, nullptr);
    // The render thread draws the effect over and over (in a pass the mesh takes no part in: each
    // draw reads the element's passes and draws nothing), from before the change until the change
    // returned, or for 100 ms when the change waits for it; nothing orders these draws with the
    // change unless the change waits.
    std::atomic<int> phase{0};
    const std::function<void(NorvexRenderer&)> draws = [&](NorvexRenderer&) {
        phase.store(1, std::memory_order_release);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        do
            context.DrawEffect(Vector(1, 1, 1, 1), 0, 0x1, 0);
        while (phase.load(std::memory_order_acquire) == 1 && std::chrono::steady_clock::now() < until);
    };
    PostToRenderThread(m_renderer, draws);
    m_renderer.SubmitCommands(false);
    while (phase.load(std::memory_order_acquire) != 1)
        std::this_thread::yield();
    context.PostSubOp16(element->GetMeshTemplate());
    phase.store(2, std::memory_order_release);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(element->GetPassBits(), 30u);

    // The effect's body read again names the pallet, whose body another user is loading.
    element->SetMeshTemplateGUID(MakeGUID(5));
    definition.ResolveElements(false);
    ASSERT_TRUE(element->IsTemplatePending());
    ASSERT_TRUE(gTemplateManager.RequestTemplateByName("fx/pallet"));
    context.PostSubOp16(element->GetMeshTemplate());
    ASSERT_TRUE(element->GetMeshTemplate()->IsLoaded());
    EXPECT_FLOAT_EQ(element->GetBox().max.y - element->GetBox().min.y, 3.0f) << "the box of the body";
    EXPECT_EQ(element->GetPassBits(), 30u);
    EXPECT_EQ(definition.GetPassBits(), 30u);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(mesh->GetRenderingData(), element->GetMeshTemplate()->GetRenderingData());
    EXPECT_NE(mesh->GetRenderingData(), nullptr);
    Stop(context, definition);
}

// An effect read from its file whose elements took templates not yet in: each takes its template
// (a physical effect its custom mesh too) in the game's frame once the body is in, without a play.
// While an effect plays the definition, what it draws with reaches the render side by command.
TEST_F(SFXMeshTemplateLoadTest, AnEffectReadFromItsFileTakesItsTemplatesOnceTheyAreIn)
{
    auto* burst = static_cast<SFXTemplate*>(gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(6), true));
    ASSERT_NE(burst, nullptr);
    SFXDefinition& definition = burst->GetDefinition();
    ASSERT_EQ(definition.GetElements().Count(), 2);
    auto* crate = static_cast<SFXMeshElementDefinition*>(definition.GetElements()[0]);
    const auto* pieces = static_cast<SFXPhysicalEffectElementDefinition*>(definition.GetElements()[1]);
    ASSERT_TRUE(definition.WaitsForArrivals()) << "read on the resource thread without waiting";
    EXPECT_EQ(crate->GetPassBits(), 16u);
    EXPECT_EQ(crate->GetBox(), BoundingBox4::INVALID);
    const auto frames = [&] {
        for (int frame = 0; frame < 2000 && definition.WaitsForArrivals(); ++frame)
        {
            SFXDefinition::TakeArrivedTemplatesOfAll();
            m_renderer.SubmitCommands(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    frames();
    ASSERT_FALSE(definition.WaitsForArrivals());
    EXPECT_EQ(crate->GetPassBits(), 30u);
    EXPECT_FLOAT_EQ(crate->GetBox().max.y - crate->GetBox().min.y, 3.0f) << "the box of the body";
    EXPECT_EQ(pieces->GetPassBits(), 31u);
    EXPECT_NE(pieces->GetMeshTemplate(), nullptr) << "the custom mesh";
    EXPECT_EQ(definition.GetPassBits(), 31u);
    EXPECT_NE(definition.GetDepthPassByte(), 0);

    // The body read again while the effect plays names the barrel, which nothing loaded; the render
    // thread draws the effect (reading the element's passes) while the barrel comes in.
    SFXContext& context = Play(definition);
    crate->SetMeshTemplateGUID(MakeGUID(7));
    definition.ResolveElements(false);
    ASSERT_TRUE(crate->IsTemplatePending());
    definition.WaitForArrivals(*burst);
    std::atomic<bool> drawing{true};
    const std::function<void(NorvexRenderer&)> draws = [&](NorvexRenderer&) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        while (drawing.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < until)
            context.DrawEffect(Vector(1, 1, 1, 1), 0, 0x1, 0);
    };
    PostToRenderThread(m_renderer, draws);
    m_renderer.SubmitCommands(false);
    while (crate->GetMeshTemplate()->GetState() != RESOURCE_STATE_DONE)
        std::this_thread::yield();
    definition.TakeArrivedTemplates();
    drawing.store(false, std::memory_order_release);
    // Read again, naming the bodiless crate, while the barrel's hand-over is still on its way: the
    // hand-over runs first, so the barrel's passes do not come back over the ones read now.
    crate->SetMeshTemplateGUID(MakeGUID(2));
    definition.ResolveElements(false);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(crate->GetPassBits(), 16u);
    crate->SetMeshTemplateGUID(MakeGUID(7));
    definition.ResolveElements(false);
    EXPECT_EQ(crate->GetPassBits(), 30u);
    EXPECT_EQ(definition.GetPassBits(), 31u);
    frames();
    Stop(context, definition);
    burst->Resource::Release();
}
} // namespace
