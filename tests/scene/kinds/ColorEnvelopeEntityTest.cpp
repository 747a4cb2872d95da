#include "scene/kinds/ColorEnvelopeEntity.h"

#include "scene/kinds/ColorEnvelopeTemplate.h"
#include "support/SceneTestSupport.h"

#include <cmath>

namespace
{
class ColorEnvelopeEntityTest : public SceneTest
{
protected:
    ColorEnvelopeTemplate& MakeColorTemplate()
    {
        m_templates.push_back(std::make_unique<ColorEnvelopeTemplate>());
        return static_cast<ColorEnvelopeTemplate&>(*m_templates.back());
    }
};

TEST_F(ColorEnvelopeEntityTest, ANewTemplateIsLinearWhiteAndWithoutKeysGivesItsConstant)
{
    HDRColor::SetLinearLighting(false);
    ColorEnvelopeTemplate& source = MakeColorTemplate();
    EXPECT_EQ(source.GetTypeId(), 12u);
    EXPECT_EQ(source.GetEnvelope().GetInterpolation(), 1u);
    HDRColor constant;
    source.GetEnvelope().GetConstantValue(constant);
    EXPECT_EQ(constant.r, 255);
    EXPECT_EQ(constant.a, 255);
    EXPECT_FLOAT_EQ(constant.multiplier, 1.0f);
    auto* entity = dynamic_cast<ColorEnvelopeEntity*>(gEntityManager.CreateEntity(&source, nullptr, Matrix::ONE, 0, nullptr));
    ASSERT_NE(entity, nullptr);
    EXPECT_FLOAT_EQ(entity->GetPlayback().time, 0.0f);
    source.GetEnvelope().SetConstantValue(HDRColor(255, 0, 51, 255, 2.0f));
    const Vector color = entity->GetLinearColor();
    EXPECT_FLOAT_EQ(color.x, 2.0f);
    EXPECT_FLOAT_EQ(color.y, 0.0f);
    EXPECT_FLOAT_EQ(color.z, 0.4f);
    // Without keys playback has ended at once.
    EXPECT_TRUE(entity->Advance(0.5f));
    HDRColor::SetLinearLighting(true);
}

TEST_F(ColorEnvelopeEntityTest, EntitiesAdvanceResetAndStartAgainWhenTheTemplateChanges)
{
    HDRColor::SetLinearLighting(true);
    ColorEnvelopeTemplate& source = MakeColorTemplate();
    source.GetEnvelope().SetInterpolation(Envelope::INTERPOLATION_LINEAR);
    source.GetEnvelope().AddKey(HDRColor(0, 0, 0, 255), 0.0f, -1);
    source.GetEnvelope().AddKey(HDRColor(255, 255, 255, 255), 2.0f, -1);
    auto* entity = static_cast<ColorEnvelopeEntity*>(gEntityManager.CreateEntity(&source, nullptr, Matrix::ONE, 0, nullptr));
    auto* other = static_cast<ColorEnvelopeEntity*>(gEntityManager.CreateEntity(&source, nullptr, Matrix::ONE, 0, nullptr));
    EXPECT_FALSE(entity->Advance(1.0f));
    EXPECT_FALSE(other->Advance(1.5f));
    // Half way: channel 127 or 128, converted to linear (power 2.2).
    const Vector half = entity->GetLinearColor();
    EXPECT_NEAR(half.x, std::pow(127.5f / 255.0f, 2.2f), 3e-3f);
    EXPECT_FLOAT_EQ(half.w, 1.0f);
    EXPECT_TRUE(entity->Advance(5.0f));
    EXPECT_FLOAT_EQ(entity->GetLinearColor().x, 1.0f);
    entity->Reset();
    EXPECT_FLOAT_EQ(entity->GetPlayback().time, 0.0f);
    EXPECT_FLOAT_EQ(entity->GetLinearColor().x, 0.0f);

    // An edit of the template resets every entity's playback.
    EXPECT_FALSE(entity->Advance(0.5f));
    source.OnPropertyChanged(source.GetClassProperties()->FindProperty("Envelope"));
    EXPECT_FLOAT_EQ(entity->GetPlayback().time, 0.0f);
    EXPECT_FLOAT_EQ(other->GetPlayback().time, 0.0f);
    EXPECT_EQ(other->GetPlayback().key, 0u);

    // Moved to a template of another kind, the entity plays nothing.
    entity->ChangeTemplate(m_template);
    EXPECT_TRUE(entity->Advance(0.5f));
    EXPECT_TRUE(entity->GetLinearColor().Equal(Vector(1.0f, 1.0f, 1.0f, 1.0f)));
}

TEST_F(ColorEnvelopeEntityTest, TheTemplateRecordCarriesTheEnvelope)
{
    ColorEnvelopeTemplate source;
    source.GetEnvelope().AddKey(HDRColor(10, 20, 30, 40, 1.5f), 0.25f, -1);
    source.GetEnvelope().SetInterpolation(Envelope::INTERPOLATION_CUBIC_BEZIER);
    source.GetEnvelope().GetLoops().Resize(1);
    source.GetEnvelope().GetLoops()[0].m_end = 300;
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    ColorEnvelopeTemplate copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    ASSERT_EQ(copy.GetEnvelope().GetKeyCount(), 1);
    EXPECT_EQ(copy.GetEnvelope().GetKeyTime(0), 256u);
    EXPECT_EQ(copy.GetEnvelope().GetKeyValue(0).g, 20);
    EXPECT_FLOAT_EQ(copy.GetEnvelope().GetKeyValue(0).multiplier, 1.5f);
    EXPECT_EQ(copy.GetEnvelope().GetInterpolation(), 2u);
    EXPECT_EQ(copy.GetEnvelope().GetLoops()[0].m_end, 300u);
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));
}
} // namespace
