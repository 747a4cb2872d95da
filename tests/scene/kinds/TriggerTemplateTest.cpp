// Trigger templates: defaults, registration by class name and type, the record's property order and
// the debug shapes they post.
#include "core/reflection/RTTIClassRegistry.h"
#include "renderer/RenderCommands.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "support/RenderStreamCapture.h"
#include "support/TriggerTestSupport.h"

#include <memory>

TEST(TriggerTemplateTest, ANewTemplateIsAGreenUnitBoxTestingPositions)
{
    RegisterSceneClasses();
    std::unique_ptr<RTTIPolyBaseClass> made(RTTIClassRegistry::CreateObject("TriggerTemplate"));
    auto* t = dynamic_cast<TriggerTemplate*>(made.get());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetShape(), uint32_t(TriggerTemplate::SHAPE_BOX));
    EXPECT_EQ(t->GetMode(), uint32_t(TriggerTemplate::MODE_POSITION_INSIDE));
    EXPECT_TRUE(t->GetScale().Equal(Vector(1, 1, 1, 1)));
    const HDRColor& color = t->GetWireframeColor();
    EXPECT_EQ(color.r, 0);
    EXPECT_EQ(color.g, 255);
    EXPECT_EQ(color.b, 0);
    EXPECT_EQ(color.a, 255);
    EXPECT_STREQ(t->GetTemplateClassName(), "TriggerTemplate");
    EXPECT_STREQ(t->GetEntityClassName(), "TriggerEntity");
    EXPECT_STREQ(TemplateTypeRegistry::GetInstance().GetClassName(ENTITY_TRIGGER), "TriggerTemplate");
    std::unique_ptr<Entity> entity(t->CreateEntity());
    EXPECT_NE(dynamic_cast<TriggerEntity*>(entity.get()), nullptr);
}

TEST(TriggerTemplateTest, ItsPropertiesFollowTheBaseTableInOrder)
{
    RegisterSceneClasses();
    const RTTIPropertiesBase* table = TriggerTemplate::StaticClassProperties();
    EXPECT_STREQ(table->GetBaseTable()->GetClassName(), "EntityTemplate");
    const Dynarray<RTTIProperty*>& properties = table->GetProperties();
    ASSERT_EQ(properties.Count(), 3);
    EXPECT_EQ(properties[0]->GetName(), "Trigger shape");
    EXPECT_EQ(properties[0]->GetFlags(), 0x80u);
    EXPECT_STREQ(properties[0]->GetEnumerationNames()[1], "Sphere");
    EXPECT_EQ(properties[1]->GetName(), "Trigger mode");
    EXPECT_STREQ(properties[1]->GetEnumerationNames()[3], "Position with radius");
    EXPECT_EQ(properties[2]->GetName(), "Scale");
    EXPECT_EQ(properties[2]->GetFlags(), 64u);
    EXPECT_EQ(properties[2]->GetType(), uint32_t(RTTI_TYPE_VECTOR));
}

TEST(TriggerTemplateTest, ShapesAreDrawnWithTheScaleAndInWhiteOnRequest)
{
    RegisterSceneClasses();
    RenderStreamCapture capture;
    TriggerTemplate t;
    t.SetStaticBoundingBox(CenteredBox(1.0f));
    const RTTIProperty* shape = t.GetClassProperties()->FindPropertyInClassChain("Trigger shape");
    ASSERT_TRUE(t.GetClassProperties()->FindPropertyInClassChain("Scale")->SetFromText(&t, "1 3 1 1"));
    ASSERT_TRUE(shape->SetFromText(&t, "1"));
    EXPECT_TRUE(t.DrawDebugShape(Translation(5, 0, 0), HDRColor(255, 0, 0, 255), 2, 0));
    ASSERT_TRUE(shape->SetFromText(&t, "7"));
    EXPECT_TRUE(t.DrawDebugShape(Matrix::ONE, HDRColor(), 0, 0)) << "an unknown shape draws nothing but succeeds";
    capture.Take();
    ASSERT_EQ(capture.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_SHAPE));
    const Matrix matrix = capture.Read<Matrix>();
    const Vector color = capture.Read<Vector>();
    EXPECT_FLOAT_EQ(matrix.rows[1].y, 3.0f);
    EXPECT_FLOAT_EQ(matrix.rows[3].x, 5.0f);
    EXPECT_TRUE(color.Equal(Vector(1, 1, 1, 1))) << "flag 2 draws white, not the colour argument";
    EXPECT_EQ(capture.NextOpcode(), RenderStreamCapture::kNone);
}
