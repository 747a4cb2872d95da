#include "scene/kinds/ParticleTemplate.h"

#include "effects/particles/ParticleEntity.h"
#include "effects/particles/ParticleSystemContext.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneTestSupport.h"

namespace
{
using ParticleTemplateTest = SceneTest;

TEST_F(ParticleTemplateTest, DefaultsAndTheEntityKind)
{
    m_templates.push_back(std::make_unique<ParticleTemplate>());
    ParticleTemplate& source = static_cast<ParticleTemplate&>(*m_templates.back());
    EXPECT_EQ(source.GetTypeId(), 6u);
    EXPECT_STREQ(source.GetSystem().GetTextureFileName().CStr(), "SFX/glow.dds");
    EXPECT_FALSE(source.IsOffscreenProcessing());
    const HDRColor& wire = source.GetWireframeColor();
    EXPECT_EQ(wire.r, 80);
    EXPECT_EQ(wire.g, 240);
    EXPECT_EQ(wire.b, 120);
    EXPECT_EQ(wire.a, 255);
    // A body that cannot be read builds nothing.
    EXPECT_FALSE(source.DoLoad());
    EXPECT_EQ(source.GetSystem().GetVertexShaderResource(), nullptr);
    Entity* entity = gEntityManager.CreateEntity(&source, nullptr, Matrix::ONE, 0, nullptr);
    EXPECT_NE(dynamic_cast<ParticleEntity*>(entity), nullptr);
}

TEST_F(ParticleTemplateTest, TheEmbeddedSystemRoundTripsAndPreviewsDrawWhereTheyArePlaced)
{
    ParticleTemplate source;
    ASSERT_TRUE(source.GetClassProperties()->FindProperty("Offscreen processing")->SetFromText(&source, "1"));
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    ParticleTemplate copy;
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));
    EXPECT_TRUE(copy.IsOffscreenProcessing());

    EntityTemplatePreview* instance = copy.CreatePreviewInstance();
    auto* preview = dynamic_cast<ParticleTemplatePreview*>(instance);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->GetContext()->GetMatrix().Equals(Matrix::ONE));
    EXPECT_EQ(preview->GetContext()->GetFlags(), 0u);
    copy.DrawPreview(Matrix::ONE, HDRColor(), instance);
    {
        // With a renderer the preview is drawn where it is placed.
        RenderStreamCapture capture;
        capture.SetCallSizes([](uintptr_t, uint32_t, uint32_t& bytes) {
            bytes = sizeof(void*) + sizeof(Matrix); // the context's matrix call
            return true;
        });
        copy.DrawPreview(Translation(5.0f, 0.0f, 0.0f), HDRColor(), instance);
        capture.Take();
        // The context is moved there first: the call's function, sub-command and context, then the matrix.
        ASSERT_EQ(capture.NextOpcode(), uint32_t(RENDER_OP_CALL));
        capture.Skip(sizeof(uintptr_t) + sizeof(uint32_t) + sizeof(void*));
        EXPECT_FLOAT_EQ(capture.Read<Matrix>().rows[3].x, 5.0f);
        ASSERT_TRUE(capture.SkipTo(RENDER_OP_DRAW_PARTICLE_SYSTEM));
        EXPECT_EQ(capture.Read<ParticleSystemContext*>(), preview->GetContext());
        EXPECT_FLOAT_EQ(capture.Read<Matrix>().rows[3].x, 5.0f);
        capture.Skip(sizeof(BoundingBox4) + sizeof(Vector));
    }
    // Without a renderer the context is destroyed at once (ASan reports it otherwise).
    copy.DestroyPreviewInstance(instance);
    copy.DestroyPreviewInstance(nullptr); // no preview was made: nothing to destroy
}
} // namespace
