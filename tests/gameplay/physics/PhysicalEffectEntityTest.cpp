// Physical effect entities: render flags from construction, running from the post-create init
// until the template is applied again, and the rendering context made with the running state.
#include "gameplay/physics/PhysicalEffectEntity.h"

#include "effects/PhysicalEffectRenderingContext.h"
#include "effects/particles/PhysicalEffectObject.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "support/RendererTestBase.h"

namespace
{
class PhysicalEffectEntityTest : public RendererTestBase
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
        m_renderer.SubmitCommands(true);
        RendererTestBase::TearDown();
    }

    PhysicalEffectTemplate m_template;
};
} // namespace

TEST_F(PhysicalEffectEntityTest, RunsFromItsInitUntilTheTemplateIsAppliedAgain)
{
    auto* entity = static_cast<PhysicalEffectEntity*>(
        gEntityManager.CreateEntity(&m_template, nullptr, Matrix::ONE, 0, nullptr));
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->GetRenderFlags() & 0x1E0u, 0x120u);
    EXPECT_FALSE(entity->IsRunning());
    // The in-game road's init hooks.
    entity->PostCreateInit();
    EXPECT_TRUE(entity->IsRunning());
    // The context made after the init carries the running state and the template.
    auto* context = dynamic_cast<PhysicalEffectRenderingContext*>(entity->GetRenderingContext());
    ASSERT_NE(context, nullptr);
    EXPECT_TRUE(context->IsRunning());
    EXPECT_EQ(context->GetEffectTemplate(), &m_template);
    EXPECT_EQ(context->GetRenderLayer(), 16u) << "whatever the entity's rendering pass";
    // The pieces' bounds come back once per published box.
    PhysicalEffectObject* object = context->GetEffectObject();
    ASSERT_NE(object, nullptr);
    EXPECT_FALSE(entity->UpdateRenderingBounds());
    const BoundingBox4 pieces(Vector(-2, 0, -2, 1), Vector(2, 3, 2, 1));
    EXPECT_TRUE(object->PublishBounds(pieces));
    EXPECT_FALSE(object->PublishBounds(BoundingBox4(Vector(0, 0, 0, 1), Vector(1, 1, 1, 1))))
        << "the last box is not taken yet";
    EXPECT_TRUE(entity->UpdateRenderingBounds());
    EXPECT_TRUE(entity->GetLocalBoundingBox().max.Equal(Vector(2, 3, 2, 1)));
    EXPECT_FALSE(entity->UpdateRenderingBounds()) << "taken once";
    m_renderer.SubmitCommands(true);

    entity->RefreshRendering();
    EXPECT_FALSE(entity->IsRunning());
    EXPECT_EQ(entity->GetRenderFlags() & 0x1E0u, 0x1E0u);
    entity->RecreateRenderingContext(true);
    context = dynamic_cast<PhysicalEffectRenderingContext*>(entity->GetRenderingContext());
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(context->IsRunning());
    EXPECT_EQ(context->GetEffectObject(), nullptr);
}
