#include "scene/kinds/ParticleTemplate.h"

#include "effects/ParticleEntity.h"
#include "effects/ParticleSpawner.h"
#include "support/SceneTestSupport.h"

namespace
{
using ParticleTemplateTest = SceneTest;

TEST_F(ParticleTemplateTest, DefaultsAndTheShaderVariantFollowEditsAndUnloads)
{
    m_templates.push_back(std::make_unique<ParticleTemplate>());
    ParticleTemplate& source = static_cast<ParticleTemplate&>(*m_templates.back());
    EXPECT_EQ(source.GetTypeId(), 6u);
    EXPECT_STREQ(source.GetSystem().GetTexture().CStr(), "SFX/glow.dds");
    const HDRColor& wire = source.GetWireframeColor();
    EXPECT_EQ(wire.r, 80);
    EXPECT_EQ(wire.g, 240);
    EXPECT_EQ(wire.b, 120);
    EXPECT_EQ(wire.a, 255);
    EXPECT_EQ(source.GetSystem().GetShaderBuilds(), 0u);
    source.OnPropertyChanged(source.GetClassProperties()->FindProperty("Offscreen processing"));
    EXPECT_EQ(source.GetSystem().GetShaderBuilds(), 1u);
    const uint32_t releases = source.GetSystem().GetShaderReleases();
    source.OnUnload();
    EXPECT_EQ(source.GetSystem().GetShaderReleases(), releases + 1);
    // A body that cannot be read builds no shader.
    EXPECT_FALSE(source.DoLoad());
    EXPECT_EQ(source.GetSystem().GetShaderBuilds(), 1u);
    Entity* entity = gEntityManager.CreateEntity(&source, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_NE(dynamic_cast<ParticleEntity*>(entity), nullptr);
}

TEST_F(ParticleTemplateTest, TheEmbeddedSystemRoundTripsAndPreviewsNeedNoRenderer)
{
    ParticleTemplate source;
    ASSERT_TRUE(source.GetClassProperties()->FindProperty("Offscreen processing")->SetFromText(&source, "1"));
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    ParticleTemplate copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));
    EXPECT_STREQ(copy.GetSystem().GetTexture().CStr(), "SFX/glow.dds");

    EntityTemplatePreview* instance = copy.CreatePreviewInstance();
    auto* spawner = dynamic_cast<ParticleSpawner*>(instance);
    ASSERT_NE(spawner, nullptr);
    EXPECT_EQ(&spawner->GetSystem(), &copy.GetSystem());
    EXPECT_TRUE(spawner->GetMatrix().Equals(Matrix::ONE));
    copy.DrawPreview(Matrix::ONE, HDRColor(), instance);
    // Without a renderer the spawner is deleted at once (ASan reports it otherwise).
    copy.DestroyPreviewInstance(instance);
}
} // namespace
