#include "scene/kinds/FlagTemplate.h"

#include "renderer/RenderCommands.h"
#include "scene/kinds/FlagEntity.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneTestSupport.h"

namespace
{
using FlagTemplateTest = SceneTest;

void ExpectBox(const BoundingBox4& box, const Vector& min, const Vector& max)
{
    EXPECT_FLOAT_EQ(box.min.x, min.x);
    EXPECT_FLOAT_EQ(box.min.y, min.y);
    EXPECT_FLOAT_EQ(box.min.z, min.z);
    EXPECT_FLOAT_EQ(box.min.w, 1.0f);
    EXPECT_FLOAT_EQ(box.max.x, max.x);
    EXPECT_FLOAT_EQ(box.max.y, max.y);
    EXPECT_FLOAT_EQ(box.max.z, max.z);
    EXPECT_FLOAT_EQ(box.max.w, 1.0f);
}

TEST_F(FlagTemplateTest, TheBoxFollowsTheSizeAndUndoesAnEditedBox)
{
    FlagTemplate flag;
    EXPECT_EQ(flag.GetTypeId(), 2u);
    EXPECT_FLOAT_EQ(flag.GetSize(), 1.0f);
    ExpectBox(flag.GetStaticBoundingBox(), Vector(-1.5f, 0.0f, -1.5f, 1.0f), Vector(1.5f, 4.8f, 1.95f, 1.0f));

    RTTIPropertiesBase* table = flag.GetClassProperties();
    RTTIProperty* size = table->FindPropertyInClassChain("Size");
    ASSERT_NE(size, nullptr);
    ASSERT_TRUE(size->SetFromText(&flag, "2"));
    flag.OnPropertyChanged(size);
    ExpectBox(flag.GetStaticBoundingBox(), Vector(-3.0f, 0.0f, -3.0f, 1.0f), Vector(3.0f, 9.6f, 3.9f, 1.0f));

    // An edited box lasts only until the next change of any property.
    RTTIProperty* box = table->FindPropertyInClassChain("Static bounding box");
    ASSERT_NE(box, nullptr);
    flag.SetStaticBoundingBox(CenteredBox(50.0f));
    flag.OnPropertyChanged(box);
    ExpectBox(flag.GetStaticBoundingBox(), Vector(-3.0f, 0.0f, -3.0f, 1.0f), Vector(3.0f, 9.6f, 3.9f, 1.0f));
}

TEST_F(FlagTemplateTest, EntitiesOfTheTemplateAreFlagsWithItsBoxAndTheColourIsBlue)
{
    m_templates.push_back(std::make_unique<FlagTemplate>());
    FlagTemplate& flag = static_cast<FlagTemplate&>(*m_templates.back());
    flag.SetSize(0.5f);
    flag.OnPropertyChanged(nullptr);
    Entity* entity = gEntityManager.CreateEntity(&flag, nullptr, Matrix::ONE, 0, nullptr);
    ASSERT_NE(entity, nullptr);
    EXPECT_NE(dynamic_cast<FlagEntity*>(entity), nullptr);
    EXPECT_STREQ(flag.GetEntityClassName(), "FlagEntity");
    EXPECT_TRUE(entity->IsKindOf(FlagTemplate::kTypeId));
    ExpectBox(entity->GetLocalBoundingBox(), Vector(-0.75f, 0.0f, -0.75f, 1.0f), Vector(0.75f, 2.4f, 0.975f, 1.0f));
    Vector color;
    flag.GetWireframeColor().ToVectorRaw(color);
    EXPECT_NEAR(color.x, 0.3f, 0.01f);
    EXPECT_NEAR(color.y, 0.3f, 0.01f);
    EXPECT_NEAR(color.z, 1.0f, 0.01f);
    // Drawing without a renderer still reports the marker drawn.
    EXPECT_TRUE(flag.DrawDebugShape(Matrix::ONE, HDRColor(), 2, 0));
    EXPECT_TRUE(flag.DrawDebug(Matrix::ONE, 4));
    RenderStreamCapture capture;
    ASSERT_TRUE(flag.DrawDebug(Matrix::ONE, 4));
    ASSERT_TRUE(flag.DrawDebug(Matrix::ONE, 2));
    capture.Take();
    ASSERT_EQ(capture.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_MARKER));
    EXPECT_FLOAT_EQ(capture.Read<Matrix>().rows[1].y, 0.5f);
    EXPECT_LT(capture.Read<Vector>().x, 0.5f) << "the wireframe blue, not white";
    EXPECT_EQ(capture.Read<uint8_t>(), 1u);
    ASSERT_EQ(capture.NextOpcode(), uint32_t(RENDER_OP_DEBUG_DRAW_MARKER));
    capture.Skip(sizeof(Matrix));
    const Vector white = capture.Read<Vector>();
    EXPECT_FLOAT_EQ(white.x, 1.0f);
    EXPECT_FLOAT_EQ(white.w, 1.0f) << "flag 2: opaque white";
    EXPECT_EQ(capture.Read<uint8_t>(), 0u);
}

TEST_F(FlagTemplateTest, TheSizeRoundTripsThroughATemplateRecordAndTheBoxFollowsOnTheNextEdit)
{
    RegisterSceneClasses();
    FlagTemplate source;
    source.SetSize(3.0f);
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    FlagTemplate copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_FLOAT_EQ(copy.GetSize(), 3.0f);
    copy.OnPropertyChanged(nullptr);
    EXPECT_FLOAT_EQ(copy.GetStaticBoundingBox().max.y, 14.4f);
}
} // namespace
