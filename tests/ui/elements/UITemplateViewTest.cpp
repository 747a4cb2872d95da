// ctest-labels: thread
// The template view on a running renderer: what its commands carry for each template kind, the
// effect it restarts and draws under its local matrix, the loops a completed text blend-in releases,
// the outline stencil around its mesh, the orthographic twin of the UI camera and the references it
// gives back.
#include "ui/elements/UITemplateView.h"

#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXElementContext.h"
#include "platform/gpu/GpuDevice.h"
#include "platform/os/Clock.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/OutlineRenderer.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/TemplateTestSupport.h"
#include "ui/elements/UITextBox.h"
#include "ui/recipes/UITemplateViewRecipe.h"
#include "ui/widgets/UIAction.h"
#include "ui/widgets/UIActionKinds.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct EffectDraw
{
    Matrix matrix;
    Vector color;
    Matrix projection; // the camera's while the element draws
};

// An element held in a one-second loop that records its draws.
class LoopingElement : public SFXElementDefinition
{
public:
    LoopingElement()
    {
        auto& position = const_cast<TEnvelope<Vector>&>(GetPosition());
        position.AddKey(Vector(0, 0, 0, 0), 0.0f, -1);
        position.AddKey(Vector(0, 0, 0, 0), 1.0f, -1);
        EnvelopeLoop loop;
        loop.m_end = Envelope::ToKeyTime(1.0f);
        position.GetLoops().Add(loop);
    }
    SFXElementContext* CreateContext() const override { return new SFXElementContext; }
    void Draw(const Matrix& m, const Vector& c, SFXElementContext*, uint32_t, uint32_t, uint32_t) const override
    {
        draws.push_back({m, c, gRenderer->GetCamera().projection});
    }
    static std::vector<EffectDraw> draws;
};
std::vector<EffectDraw> LoopingElement::draws;

SimpleGUID Guid(uint8_t value)
{
    SimpleGUID guid;
    guid.bytes[15] = value;
    return guid;
}

class UITemplateViewTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        m_mesh = new MeshTemplate;
        m_meshData = new MeshTemplateRenderingData;
        for (const char* name : {"Plain", "Shiny"})
        {
            MeshShaderPreset preset;
            preset.name.Set(name);
            m_meshData->AddPreset(preset);
        }
        m_mesh->SetRenderingData(m_meshData);
        m_mesh->SetStaticBoundingBox(BoundingBox4(Vector(-2, -1, 0, 1), Vector(2, 1, 3, 1)));
        ASSERT_NE(RegisterStubAtPath("ui/rock", Guid(1), m_mesh), nullptr);
        m_effect = new SFXTemplate;
        m_effect->GetDefinition().AddElement(new LoopingElement);
        m_effect->GetDefinition().ResolveElements(false);
        ASSERT_NE(RegisterStubAtPath("ui/glow", Guid(2), m_effect), nullptr);
        m_renderer.SetPassMask(0xFFFFFFFFu);
    }
    void TearDown() override
    {
        m_view->Release();
        m_renderer.SubmitCommands(true);
        LoopingElement::draws.clear();
        gTemplateManager.Clear();
        RendererTestBase::TearDown();
    }
    void Render(const Matrix& draw, const Vector& color)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { m_view->Render(draw, color, false, nullptr); });
    }
    // One walk of the playing effects on the engine clock.
    void Walk(float seconds)
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) { SFXContext::RenderAll(1, seconds, 2, 0, 3, 0); });
    }
    uint32_t StencilState(uint32_t state)
    {
        uint32_t value = 0;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) { renderer.GetDevice()->GetRenderState(state, &value); });
        return value;
    }

    MeshTemplate* m_mesh = nullptr;
    MeshTemplateRenderingData* m_meshData = nullptr;
    SFXTemplate* m_effect = nullptr;
    UITemplateView* m_view = new UITemplateView;
};

TEST_F(UITemplateViewTest, CommandsCarryWhatEachTemplateKindGives)
{
    const int32_t meshReferences = m_mesh->GetReferenceCount();
    const struct
    {
        const char* name;
        const MeshTemplateRenderingData* data;
        float boxMaxZ;
    } rows[] = {{"ui/rock", m_meshData, 3.0f}, {"ui/glow", nullptr, 0.0f}, {"ui/none", nullptr, 0.0f}};
    for (const auto& row : rows)
    {
        m_view->SetTemplate("ui/rock");
        m_view->SetTemplate(row.name);
        m_renderer.SubmitCommands(true);
        EXPECT_EQ(m_view->GetRenderMeshData(), row.data) << row.name;
        EXPECT_EQ(m_view->GetRenderBox().max.z, row.boxMaxZ) << row.name;
        EXPECT_EQ(m_view->GetRenderBox().min.x, row.data != nullptr ? -2.0f : 0.0f) << row.name;
        // Only the template shown holds a reference.
        EXPECT_EQ(m_mesh->GetReferenceCount(), meshReferences + (row.data != nullptr ? 1 : 0)) << row.name;
    }

    EXPECT_EQ(m_view->GetRenderPresetIndex(), 0u) << "a mesh shows its first preset until one is chosen";
    m_view->SetTemplate("ui/rock");
    m_view->SetShaderPreset("shiny");
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_view->GetRenderPresetIndex(), 1u);
    m_view->SetShaderPreset("Missing");
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_view->GetRenderPresetIndex(), 0u);
    m_view->SetShaderPreset("Shiny");
    m_view->SetTemplate("ui/glow");
    m_view->SetShaderPreset("Plain");
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_view->GetRenderPresetIndex(), 1u) << "an effect template has no presets to send";

    Matrix local;
    local.LoadTranslation(1.0f, 2.0f, 3.0f);
    m_view->SetLocalMatrix(local);
    m_renderer.SubmitCommands(true);
    EXPECT_TRUE(m_view->GetRenderLocalMatrix().Equals(local));
    EXPECT_EQ(m_view->GetRenderLocal3DMatrix(), &m_view->GetRenderLocalMatrix());

    // The turn tween takes its flags as given, on the channel asked for.
    Quaternion quarter;
    quarter.LoadZRotation(90.0f);
    m_view->LocalRotateWithOffset(2.5f, quarter, Vector(5, 6, 7, 1), UIACTIONFLAG_SINE | UIACTIONFLAG_GAMEPLAYTIME, 2);
    m_renderer.SubmitCommands(true);
    const UIAction* const turn = m_view->GetFirstAction(2);
    ASSERT_NE(turn, nullptr);
    EXPECT_EQ(turn->GetFlags(), UIACTIONFLAG_SINE | UIACTIONFLAG_GAMEPLAYTIME);
    EXPECT_EQ(turn->GetDuration(), 2.5f);
    EXPECT_NE(dynamic_cast<const UIActionLocalRotateWithOffset*>(turn), nullptr);
}

TEST_F(UITemplateViewTest, RestartPlaysTheEffectUnderTheLocalMatrixUntilAFollowedTextCompletes)
{
    m_view->SetTemplate("ui/rock");
    m_view->Restart();
    EXPECT_EQ(m_view->GetMainContext(), nullptr) << "a mesh template plays no effect";

    m_view->RaiseFlag(UIFLAG_FOLLOWMOUSE);
    m_view->SetTemplate("ui/glow");
    m_view->Restart();
    Matrix scale;
    scale.LoadScale(Vector(2.0f, 2.0f, 2.0f, 1.0f));
    m_view->SetLocalMatrix(scale);
    m_renderer.SubmitCommands(true);
    SFXContext* const context = m_view->GetMainContext();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(m_view->GetRenderContext(), context);
    EXPECT_EQ(context->GetRenderingFlags(), UIFLAG_FOLLOWMOUSE | SFXContext::kFlagNoGrid);
    EXPECT_TRUE(m_view->IsRestartPending());
    EXPECT_FALSE(context->IsActive());

    Matrix draw;
    draw.LoadTranslation(5.0f, 6.0f, 0.0f);
    Render(draw, Vector(0.5f, 0.25f, 1.0f, 1.0f));
    EXPECT_TRUE(context->IsActive());
    EXPECT_FALSE(m_view->IsRestartPending());
    // Scaled first, then moved by the draw matrix.
    EXPECT_FLOAT_EQ(context->GetWorld().rows[0].x, 2.0f);
    EXPECT_FLOAT_EQ(context->GetWorld().rows[3].x, 5.0f);
    EXPECT_FLOAT_EQ(context->GetWorld().rows[3].y, 6.0f);
    ASSERT_EQ(LoopingElement::draws.size(), 1u);
    EXPECT_FLOAT_EQ(LoopingElement::draws[0].color.y, 0.25f);
    EXPECT_FLOAT_EQ(LoopingElement::draws[0].matrix.rows[3].x, 5.0f);

    // The loop holds the effect until the text the view follows has blended in completely.
    UITextBox* text = new UITextBox("font", 12);
    text->BlendInTextPerChar(1.0f, 0, 0, 0.5f, m_view);
    const int64_t second = os::kCounterFrequency;
    for (const auto& [ticks, finishedAfter] : {std::pair<int64_t, bool>{0, false}, {second / 2, false}, {second, true}})
    {
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
            SetUIActionClocks({Time(ticks), Time(ticks), Time(ticks)});
            text->UpdateActions();
        });
        Walk(3.0f);
        EXPECT_EQ(context->IsFinished(), finishedAfter) << ticks;
    }
    text->Release();
    m_view->SetTemplate("ui/rock");
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_view->GetRenderContext(), nullptr) << "another template ends the effect";
}

TEST_F(UITemplateViewTest, ARecipeGivesItsTemplateAndShaderPreset)
{
    UITemplateViewRecipe recipe;
    recipe.m_templateName.Set("ui/rock");
    recipe.m_shaderPreset.Set("Shiny");
    UIElement* const view = UIElementRecipe::CreateElement(&recipe, nullptr, 0, nullptr);
    ASSERT_NE(view, nullptr);
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(static_cast<UITemplateView*>(view)->GetRenderMeshData(), m_meshData);
    EXPECT_EQ(static_cast<UITemplateView*>(view)->GetRenderPresetIndex(), 1u);
    view->Release();
}

TEST_F(UITemplateViewTest, AnOutlinedMeshMarksTheStencilWithItsMaskAndTurnsItOffAfter)
{
    m_view->SetTemplate("ui/rock");
    m_renderer.SubmitCommands(true);
    RunOnRenderThread(m_renderer, [](NorvexRenderer&) { gOutlineRenderer.Reset(); });
    Render(Matrix::ONE, Vector(1, 1, 1, 1));
    EXPECT_EQ(StencilState(gpu::kRsStencilRef), 0u) << "no outline: the stencil is left alone";
    EXPECT_EQ(gOutlineRenderer.GetSummary(), 0u);

    m_view->SetOutline(3);
    m_renderer.SubmitCommands(true);
    Render(Matrix::ONE, Vector(1, 1, 1, 1));
    EXPECT_EQ(gOutlineRenderer.GetSummary(), 8u) << "the outline passes draw over the box gathered with the mask";
    EXPECT_EQ(StencilState(gpu::kRsStencilRef), 255u);
    EXPECT_EQ(StencilState(gpu::kRsStencilFunc), gpu::kCmpAlways);
    for (uint32_t op : {gpu::kRsStencilPass, gpu::kRsStencilFail, gpu::kRsStencilZFail})
        EXPECT_EQ(StencilState(op), gpu::kStencilReplace) << op;
    EXPECT_EQ(StencilState(gpu::kRsStencilWriteMask), 0u);
    EXPECT_EQ(StencilState(gpu::kRsStencilEnable), 0u);
}

TEST_F(UITemplateViewTest, TheOrthographicTwinMatchesThePerspectiveOnTheNearPlaneOnly)
{
    Matrix perspective;
    ASSERT_TRUE(perspective.LoadPerspectiveOffCenterLH(-160, 160, 120, -120, 100, 1100));
    const Matrix ortho = UITemplateView::OrthographicTwin(perspective);
    const struct
    {
        Vector point;
        float x, y, depth;
    } rows[] = {
        {Vector(80, 60, 100, 1), 0.5f, -0.5f, 0.0f},  // on the near plane, as the perspective draws it
        {Vector(80, 60, 600, 1), 0.5f, -0.5f, 0.5f},  // farther off: no shrinking, linear depth
        {Vector(-160, 0, 1100, 1), -1.0f, 0.0f, 1.0f},
    };
    for (const auto& row : rows)
    {
        Vector clip = row.point;
        clip.Transform(ortho);
        EXPECT_NEAR(clip.x / clip.w, row.x, 1e-5f) << row.point.z;
        EXPECT_NEAR(clip.y / clip.w, row.y, 1e-5f) << row.point.z;
        EXPECT_NEAR(clip.z / clip.w, row.depth, 1e-5f) << row.point.z;
    }
    Vector near = rows[0].point;
    near.Transform(perspective);
    EXPECT_NEAR(near.x / near.w, 0.5f, 1e-5f);
    Matrix flat;
    ASSERT_TRUE(flat.LoadOrthoOffCenterLH(-1, 1, -1, 1, 0, 1));
    EXPECT_TRUE(UITemplateView::OrthographicTwin(flat).Equals(flat));

    // The view draws under the twin and gives the camera back.
    m_view->RaiseFlag(UITemplateView::kOrthoProjectionFlag);
    m_view->SetTemplate("ui/glow");
    m_view->Restart();
    m_renderer.SubmitCommands(true);
    Matrix projection;
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
        renderer.GetStateCache().UpdateCamera(Matrix::ONE, perspective, Matrix::ONE);
        m_view->Render(Matrix::ONE, Vector(1, 1, 1, 1), false, nullptr);
        projection = renderer.GetCamera().projection;
    });
    EXPECT_TRUE(projection.Equals(perspective));
    ASSERT_EQ(LoopingElement::draws.size(), 1u);
    EXPECT_TRUE(LoopingElement::draws[0].projection.Equals(ortho));
}

TEST_F(UITemplateViewTest, RemovalGivesBackTheTemplateAndReleasesTheEffect)
{
    const int32_t references = m_effect->GetReferenceCount();
    m_view->SetTemplate("ui/glow");
    m_view->Restart();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_effect->GetReferenceCount(), references + 1);
    SFXContext* const first = m_view->GetMainContext();
    m_view->Restart();
    m_renderer.SubmitCommands(true);
    EXPECT_NE(m_view->GetMainContext(), first);
    EXPECT_EQ(m_view->GetRenderContext(), m_view->GetMainContext()) << "the old context is gone";
    {
        // Both the shown template and the one the view's recipe came from are let go.
        const ResourceManager resources;
        m_view->SetRecipe(nullptr, m_mesh);
        m_view->ReleaseResourcesRecursive();
        EXPECT_EQ(m_effect->GetFlags() & UIElement::kReleaseResourceFlags, UIElement::kReleaseResourceFlags);
        EXPECT_EQ(m_mesh->GetFlags() & UIElement::kReleaseResourceFlags, UIElement::kReleaseResourceFlags);
    }
    m_view->OnRemoved();
    m_renderer.SubmitCommands(true);
    EXPECT_EQ(m_effect->GetReferenceCount(), references);
    EXPECT_EQ(m_view->GetTemplate(), nullptr);
    EXPECT_EQ(m_view->GetRenderContext(), nullptr) << "the released context unlinked the view's pointer";
}
} // namespace
