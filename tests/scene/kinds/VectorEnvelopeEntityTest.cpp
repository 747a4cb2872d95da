#include "scene/kinds/VectorEnvelopeEntity.h"

#include "scene/kinds/VectorEnvelopeTemplate.h"
#include "support/SceneTestSupport.h"

namespace
{
using VectorEnvelopeEntityTest = SceneTest;

TEST_F(VectorEnvelopeEntityTest, EntitiesPlayTheTemplateCurveFromTimeZero)
{
    m_templates.push_back(std::make_unique<VectorEnvelopeTemplate>());
    VectorEnvelopeTemplate& source = static_cast<VectorEnvelopeTemplate&>(*m_templates.back());
    EXPECT_EQ(source.GetTypeId(), 13u);
    EXPECT_STREQ(source.GetEntityClassName(), "VectorEnvelopeEntity");
    auto* entity = dynamic_cast<VectorEnvelopeEntity*>(gEntityManager.CreateEntity(&source, nullptr, Matrix::ONE, 0, nullptr));
    ASSERT_NE(entity, nullptr);
    // No keys: the constant (1, 1, 1, 1).
    EXPECT_TRUE(entity->GetValue().Equal(Vector(1.0f, 1.0f, 1.0f, 1.0f)));

    source.GetEnvelope().AddKey(Vector(0.0f, 0.0f, 0.0f, 0.0f), 0.0f, -1);
    source.GetEnvelope().AddKey(Vector(4.0f, 8.0f, 0.0f, 1.0f), 1.0f, -1);
    EXPECT_FALSE(entity->Advance(0.5f));
    // Linear by default, the keys alone.
    EXPECT_FLOAT_EQ(entity->GetValue().y, 4.0f);
    EXPECT_FALSE(entity->Advance(0.25f));
    EXPECT_FLOAT_EQ(entity->GetValue().x, 3.0f);
    EXPECT_TRUE(entity->Advance(0.5f));
    entity->ResetBoundsFromTemplate("Envelope");
    EXPECT_FLOAT_EQ(entity->GetPlayback().time, 0.0f);
    EXPECT_TRUE(entity->GetValue().Equal(Vector(0.0f, 0.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(entity->Advance(3.0f));
    EXPECT_EQ(entity->GetPlayback().key, 1u);
    entity->Reset();
    EXPECT_EQ(entity->GetPlayback().key, 0u);
    EXPECT_FLOAT_EQ(entity->GetPlayback().time, 0.0f);
    // Without a template there is nothing to play: it has finished.
    VectorEnvelopeEntity bare;
    EXPECT_TRUE(bare.Advance(0.5f));
}
} // namespace
