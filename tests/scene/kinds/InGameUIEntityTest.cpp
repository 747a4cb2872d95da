// ctest-labels: thread
// In-game UI entities keep only elements the UI still holds and draw them on their plane.
#include "scene/kinds/InGameUIEntity.h"

#include "scene/kinds/InGameUIEntityRenderingContext.h"
#include "scene/kinds/InGameUITemplate.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"
#include "support/SceneTestSupport.h"
#include "ui/render/UIRenderFrame.h"

#include <atomic>

namespace
{
std::atomic<int> gDeleted{0};

// An element that counts its deletions (they happen on the render thread).
class CountedElement : public UIElement
{
public:
    ~CountedElement() override { ++gDeleted; }
};

class InGameUIEntityTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        gDeleted = 0;
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }
    InGameUIEntity* Create()
    {
        return static_cast<InGameUIEntity*>(gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, 0, nullptr));
    }
    InGameUIEntityRenderingContext* ContextOf(InGameUIEntity* entity)
    {
        return static_cast<InGameUIEntityRenderingContext*>(entity->GetRenderingContext());
    }
    // Everything posted so far has run on the render thread.
    void Sync()
    {
        RunOnRenderThread(m_renderer, [](NorvexRenderer&) {});
    }

    InGameUITemplate m_template;
};

TEST_F(InGameUIEntityTest, WithoutAnElementThereIsNoContextAndTheFlagIsClear)
{
    EXPECT_EQ(m_template.GetTypeId(), 11u);
    EXPECT_TRUE(m_template.GetSize().Equal(Vector(100.0f, 100.0f, 100.0f, 0.0f)));
    InGameUIEntity* entity = Create();
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->GetUIElement(), nullptr);
    EXPECT_EQ(entity->GetRenderingContext(), nullptr);
    EXPECT_EQ(entity->GetRenderFlags() & ENTITYRENDER_INGAME_UI, 0u);
    entity->SetUIElement(nullptr, 0.0f, 0.0f);
    EXPECT_EQ(entity->GetRenderingContext(), nullptr);
}

TEST_F(InGameUIEntityTest, TheSameElementAtTheSameSizeKeepsTheContextAndANewOneReleasesTheOld)
{
    InGameUIEntity* entity = Create();
    CountedElement* first = new CountedElement;
    entity->SetUIElement(first, 10.0f, 20.0f);
    InGameUIEntityRenderingContext* context = ContextOf(entity);
    ASSERT_NE(context, nullptr);
    EXPECT_NE(entity->GetRenderFlags() & ENTITYRENDER_INGAME_UI, 0u);
    EXPECT_EQ(context->GetElement(), first);
    EXPECT_FLOAT_EQ(context->GetWidth(), 10.0f);
    EXPECT_FLOAT_EQ(context->GetHeight(), 20.0f);
    EXPECT_NEAR(context->GetScale().x, 0.02f, 0.02f / 2048.0f);
    EXPECT_NEAR(context->GetScale().y, -0.02f, 0.02f / 2048.0f);
    EXPECT_NEAR(context->GetScale().z, -0.02f, 0.02f / 2048.0f);

    entity->SetUIElement(first, 10.0f, 20.0f);
    EXPECT_EQ(ContextOf(entity), context);

    CountedElement* second = new CountedElement;
    entity->SetUIElement(second, 10.0f, 20.0f);
    EXPECT_EQ(entity->GetUIElement(), second);
    EXPECT_EQ(ContextOf(entity)->GetElement(), second);
    Sync();
    EXPECT_EQ(gDeleted, 1);
}

TEST_F(InGameUIEntityTest, TheSameElementAtANewSizeIsKeptNotReleased)
{
    InGameUIEntity* entity = Create();
    CountedElement* element = new CountedElement;
    entity->SetUIElement(element, 10.0f, 20.0f);
    entity->SetUIElement(element, 10.0f, 40.0f);
    Sync();
    EXPECT_EQ(gDeleted, 0);
    EXPECT_FALSE(element->IsReleased());
    EXPECT_EQ(entity->GetUIElement(), element);
    ASSERT_NE(ContextOf(entity), nullptr);
    EXPECT_FLOAT_EQ(ContextOf(entity)->GetHeight(), 40.0f);
    EXPECT_FLOAT_EQ(entity->GetElementHeight(), 40.0f);
    // Destroying the entity releases what it holds.
    entity->DeleteMe();
    Sync();
    EXPECT_EQ(gDeleted, 1);
}

TEST_F(InGameUIEntityTest, AnElementTheUIReleasesIsForgottenAndCannotBeAttachedAgain)
{
    InGameUIEntity* entity = Create();
    InGameUIEntity* other = Create();
    CountedElement* element = new CountedElement;
    entity->SetUIElement(element, 10.0f, 20.0f);
    ASSERT_NE(entity->GetRenderingContext(), nullptr);
    element->Release();
    EXPECT_EQ(entity->GetUIElement(), nullptr);
    EXPECT_EQ(entity->GetRenderingContext(), nullptr);
    EXPECT_EQ(entity->GetRenderFlags() & ENTITYRENDER_INGAME_UI, 0u);
    // Still queued for deletion: refused, so nobody keeps it.
    m_log.Clear();
    other->SetUIElement(element, 10.0f, 20.0f);
    EXPECT_EQ(other->GetUIElement(), nullptr);
    EXPECT_EQ(other->GetRenderingContext(), nullptr);
    EXPECT_TRUE(m_log.Contains("already released", CONSOLE_WARNING));
    Sync();
    EXPECT_EQ(gDeleted, 1);
    // A later element is attached as usual, and the entity's own release of it happens once.
    CountedElement* next = new CountedElement;
    entity->SetUIElement(next, 5.0f, 5.0f);
    entity->SetUIElement(nullptr, 0.0f, 0.0f);
    EXPECT_EQ(entity->GetRenderingContext(), nullptr);
    Sync();
    EXPECT_EQ(gDeleted, 2);
}

TEST_F(InGameUIEntityTest, DrawingLaysTheElementOnThePlaneOfTheWorldMatrix)
{
    m_template.SetSize(Vector(50.0f, 25.0f, 10.0f, 1.0f));
    InGameUIEntity* entity = Create();
    entity->SetUIElement(new CountedElement, 10.0f, 20.0f);
    InGameUIEntityRenderingContext* context = ContextOf(entity);
    ASSERT_NE(context, nullptr);
    const Vector scale = context->GetScale();
    // The reciprocal is an estimate good to about 12 bits.
    EXPECT_NEAR(scale.x, 0.04f, 0.04f / 2048.0f);
    EXPECT_NEAR(scale.y, -0.08f, 0.08f / 2048.0f);
    EXPECT_NEAR(scale.z, -0.2f, 0.2f / 2048.0f);
    Matrix world = Matrix::ONE;
    world.rows[0].Set(0.0f, 0.0f, 2.0f, 0.0f);
    world.rows[1].Set(0.0f, 3.0f, 0.0f, 0.0f);
    world.rows[2].Set(4.0f, 0.0f, 0.0f, 0.0f);
    world.rows[3].Set(1.0f, 2.0f, 3.0f, 1.0f);
    RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
        context->Draw(world, 0, Vector(1.0f, 1.0f, 1.0f, 1.0f));
        // The alignment matrices shift by the plane's UI size.
        EXPECT_FLOAT_EQ(gUIFrame.alignment[UI_ALIGN_RIGHT].rows[3].x, 10.0f * scale.x);
        EXPECT_FLOAT_EQ(gUIFrame.alignment[UI_ALIGN_BOTTOM].rows[3].y, 20.0f * scale.y);
        EXPECT_FLOAT_EQ(gUIFrame.alignment[UI_ALIGN_LEFT].rows[3].x, -10.0f * scale.x);
        const Matrix& m = context->GetLastElementMatrix();
        EXPECT_FLOAT_EQ(m.rows[0].z, 2.0f * scale.x);
        EXPECT_FLOAT_EQ(m.rows[1].x, 4.0f * scale.y);
        EXPECT_FLOAT_EQ(m.rows[2].y, 3.0f * scale.z);
        EXPECT_TRUE(m.rows[3].Equal(Vector(5.0f, 5.0f, 1.0f, 1.0f)));
        EXPECT_EQ(context->GetLastWait(), 1u);
        context->Draw(world, 4, Vector(1.0f, 1.0f, 1.0f, 1.0f));
        EXPECT_EQ(context->GetLastWait(), 0u);
    });
}
} // namespace
