// ctest-labels: thread
// A particle entity of mesh particles whose template's body was read on the resource thread before
// its mesh's (that read looks the mesh up without waiting and keeps nothing) still plays the mesh:
// the entity takes it before it builds its system, so the first system it posts draws the mesh and
// the entity sits in the mesh's render lists. A mesh whose body fails leaves the particles undrawn.
// A tool's preview of such a template takes the mesh before it builds its context as well.
#include "effects/sfx/SFXTemplateLoadFixture.h"

#include "effects/particles/ParticleEntity.h"
#include "effects/particles/ParticleEntityRenderingContext.h"
#include "effects/particles/ParticleSystemContext.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "support/ParticleTestSupport.h"
#include "support/RenderThreadCall.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/SceneWriter.h"

namespace
{
class ParticleEntityTemplateLoadTest : public SFXTemplateLoadFixture
{
protected:
    void SetUp() override
    {
        SFXTemplateLoadFixture::SetUp();
        gEntityManager.Init(BoundingBox4(Vector(0, -50, 0, 1), Vector(1000, 500, 1000, 1)), 10.0f);
        // Three particle templates (1, 3, 5), each of mesh particles with its own mesh (2, 4, 6).
        const uint32_t type = ParticleTemplate::kTypeId;
        std::vector<uint8_t> bodies[3];
        for (uint8_t i = 0; i < 3; ++i)
            bodies[i] = MeshParticleBody(uint8_t(1 + 2 * i), uint8_t(2 + 2 * i));
        // Mesh flags 6 with the shadow switch: render list 0x40, not 0x20 or 0x80.
        MeshTemplateSpec shard;
        shard.renderSwitches[0] = 0;
        shard.renderSwitches[1] = 1;
        shard.renderSwitches[3] = 1;
        const uint32_t mesh = MeshTemplate::kTypeId;
        WriteTemplates({{"shards", 1, type, bodies[0]},
                        {"shard", 2, mesh, MeshTemplateWriter::BuildBody(shard, MakeGUID(2))},
                        {"splinters", 3, type, bodies[1]},
                        {"splinter", 4, mesh, MeshTemplateWriter::BuildBody(shard, MakeGUID(4))},
                        {"dust", 5, type, bodies[2]},
                        {"mote", 6, mesh, {}}});
    }
    void TearDown() override
    {
        gEntityManager.DestroyScene();
        SFXTemplateLoadFixture::TearDown();
    }
};

TEST_F(ParticleEntityTemplateLoadTest, AnEntityWhoseTemplateCameInBeforeItsMeshStillDrawsTheMesh)
{
    struct Row
    {
        const char* name;
        uint8_t particles;
        bool meshFirst; // the mesh was loaded before the particle template's body was read
        bool meshParticles;
        uint32_t renderLists; // the entity's render flags 0x20, 0x40 and 0x80
    };
    const Row rows[] = {{"a mesh that came in first", 1, true, true, 0x40},
                        {"a mesh that came in after the particle template", 3, false, true, 0x40},
                        {"a mesh whose body fails", 5, false, false, 0x20}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        EntityTemplate* const mesh =
            row.meshFirst ? gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(uint8_t(row.particles + 1)), true) : nullptr;
        auto* const particles =
            static_cast<ParticleTemplate*>(gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(row.particles), true));
        ASSERT_NE(particles, nullptr);
        ASSERT_TRUE(particles->IsLoaded());
        EXPECT_EQ(particles->GetSystem().GetMeshTemplate() != nullptr, row.meshFirst)
            << "the body keeps only a mesh that is in";

        auto* const entity =
            static_cast<ParticleEntity*>(gEntityManager.CreateEntity(particles, nullptr, Matrix::ONE, 0, nullptr));
        ASSERT_NE(entity, nullptr);
        entity->PostCreateInit();
        ParticleEntityRenderingContext* const context = entity->GetParticleContext();
        ASSERT_NE(context, nullptr);
        ASSERT_NE(context->GetGameSideSystem(), nullptr);
        EXPECT_EQ(context->GetGameSideSystem()->IsMeshParticles(), row.meshParticles);
        EXPECT_EQ(context->CastsShadow(), row.meshParticles);
        EXPECT_EQ(entity->GetRenderFlags() & 0xE0u, row.renderLists);
        bool drawsMesh = false;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer&) {
            const ParticleSystemContext* const system = context->GetRenderSideSystem();
            drawsMesh = system != nullptr && system->IsMeshParticles();
        });
        EXPECT_EQ(drawsMesh, row.meshParticles) << "the system the render thread draws";

        // The entity holds its template until the scene goes.
        particles->Resource::Release();
        if (mesh != nullptr)
            mesh->Resource::Release();
    }
}

TEST_F(ParticleEntityTemplateLoadTest, APreviewOfATemplateWhoseMeshCameInAfterItStillPlaysTheMesh)
{
    const struct
    {
        const char* name;
        uint8_t particles;
        bool meshParticles;
    } rows[] = {{"a mesh that came in after the particle template", 3, true}, {"a mesh whose body fails", 5, false}};
    for (const auto& row : rows)
    {
        SCOPED_TRACE(row.name);
        auto* const particles =
            static_cast<ParticleTemplate*>(gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(row.particles), true));
        ASSERT_NE(particles, nullptr);
        ASSERT_EQ(particles->GetSystem().GetMeshTemplate(), nullptr);
        EntityTemplatePreview* const preview = particles->CreatePreviewInstance();
        ASSERT_NE(preview, nullptr);
        EXPECT_EQ(static_cast<ParticleTemplatePreview*>(preview)->GetContext()->IsMeshParticles(), row.meshParticles);
        particles->DestroyPreviewInstance(preview);
        particles->Resource::Release();
    }
}
} // namespace
