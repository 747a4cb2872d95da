// ctest-labels: thread
// Mesh particles inside a playing effect hold their mesh template while the element plays, and give
// it back whichever way their element context dies on the render thread: the effect released,
// re-initialised, its definition dying under it, or the effect that embeds it released.
#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXEmbeddedSfxElementDefinition.h"
#include "effects/sfx/SFXParticleElementDefinition.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "support/ParticleTestSupport.h"
#include "support/RendererTestBase.h"
#include "support/TemplateTestSupport.h"

#include <gtest/gtest.h>

namespace
{
class SFXParticleMeshReferenceTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        m_mesh = new MeshTemplate;
        SimpleGUID meshGuid;
        meshGuid.bytes[15] = 0x51;
        ASSERT_NE(RegisterStubAtPath("fx/shard", meshGuid, m_mesh), nullptr);
        m_particles = new ParticleTemplate;
        char text[SimpleGUID::kTextLength + 1];
        meshGuid.ToString(text, sizeof(text));
        SetParticleProperty(m_particles->GetSystem(), "Mesh template", text);
        m_particles->GetSystem().BuildShader(true);
        ASSERT_EQ(m_particles->GetSystem().GetMeshTemplate(), m_mesh);
        m_particlesGuid.bytes[15] = 0x52;
        ASSERT_NE(RegisterStubAtPath("fx/shards", m_particlesGuid, m_particles), nullptr);
        m_inner = new SFXTemplate;
        AddParticles(m_inner->GetDefinition());
        m_innerGuid.bytes[15] = 0x53;
        ASSERT_NE(RegisterStubAtPath("fx/burst", m_innerGuid, m_inner), nullptr);
    }
    void TearDown() override
    {
        m_renderer.SubmitCommands(true);
        m_inner->GetDefinition().ReleaseElementResources(0);
        m_particles->GetSystem().ReleaseShader();
        gTemplateManager.Clear();
        RendererTestBase::TearDown();
    }
    void AddParticles(SFXDefinition& definition)
    {
        auto* element = new SFXParticleElementDefinition;
        element->SetParticleTemplateGUID(m_particlesGuid);
        definition.AddElement(element);
        definition.ResolveElements(false);
    }
    SFXContext& Play(SFXDefinition& definition)
    {
        auto* context = new SFXContext(m_renderer, nullptr, SFXContext::kFlagNoGrid, false, false);
        context->Init(definition, Matrix::ONE, false, 0);
        context->PostRestart(1, 0);
        m_renderer.SubmitCommands(true);
        return *context;
    }
    // Mesh template users above the particle system's own.
    uint32_t Held() const { return m_mesh->GetUserReferences() - m_baseReferences; }

    MeshTemplate* m_mesh = nullptr;
    ParticleTemplate* m_particles = nullptr;
    SimpleGUID m_particlesGuid;
    SFXTemplate* m_inner = nullptr;
    SimpleGUID m_innerGuid;
    uint32_t m_baseReferences = 0;
};

TEST_F(SFXParticleMeshReferenceTest, TheMeshIsHeldWhileTheElementPlaysAndGivenBackWhenItsContextGoes)
{
    enum class End
    {
        Release,
        Reinit,
        DefinitionDies,
        EmbedderReleased,
    };
    struct Row
    {
        const char* name;
        End end;
    };
    const Row rows[] = {{"released", End::Release},
                        {"re-initialised, then released", End::Reinit},
                        {"definition dies under it", End::DefinitionDies},
                        {"embedding effect released", End::EmbedderReleased}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        m_baseReferences = m_mesh->GetUserReferences();
        auto* definition = new SFXDefinition;
        if (row.end == End::EmbedderReleased)
        {
            auto* embedded = new SFXEmbeddedSfxElementDefinition;
            embedded->SetSFXTemplateGUID(m_innerGuid);
            definition->AddElement(embedded);
            definition->ResolveElements(false);
        }
        else
            AddParticles(*definition);
        SFXContext& context = Play(*definition);
        EXPECT_EQ(Held(), 1u) << "the playing element holds the mesh";
        if (row.end == End::Reinit)
        {
            context.Init(*definition, Matrix::ONE, false, 0);
            m_renderer.SubmitCommands(true);
            EXPECT_EQ(Held(), 1u) << "the replaced element gave its mesh back";
        }
        if (row.end == End::DefinitionDies)
        {
            delete definition;
            definition = nullptr;
            EXPECT_EQ(Held(), 0u);
        }
        context.Release();
        m_renderer.SubmitCommands(true);
        EXPECT_EQ(Held(), 0u);
        delete definition;
    }
}
} // namespace
