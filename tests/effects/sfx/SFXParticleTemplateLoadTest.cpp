// ctest-labels: thread
// An effect read from its file takes its particle template without loading it; when nothing else
// (a particle entity of the same template) loaded that template, the effect's element still plays
// the template's emitter, and a template whose body fails gives no emitter.
#include "core/filesystem/FileSystem.h"
#include "effects/SFXContext.h"
#include "effects/particles/ParticleSystemContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXParticleElementContext.h"
#include "effects/sfx/SFXParticleElementDefinition.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "support/ParticleTestSupport.h"
#include "support/RendererTestBase.h"
#include "support/TempFolder.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
SimpleGUID MakeGUID(uint8_t value)
{
    SimpleGUID guid;
    guid.bytes[15] = 0x6D;
    guid.bytes[0] = value;
    return guid;
}

class SFXParticleTemplateLoadTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        m_folder.WriteFile("templates/.keep", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("templates", (m_folder / "templates").c_str()));
        ASSERT_TRUE(m_manager.Init());
        const uint32_t type = ParticleTemplate::kTypeId;
        TemplateWriter::WriteStubFiles(m_folder / "templates",
                                       {{"fx", "sparks", MakeGUID(1), type}, {"fx", "broken", MakeGUID(2), type}});
        ParticleTemplate source;
        SetParticleProperty(source.GetSystem(), "Life time", "2.5");
        SetParticleProperty(source.GetSystem(), "Life time variable", "0.5");
        const std::vector<uint8_t> body = SceneWriter::BuildTemplateBody(source, MakeGUID(1), type);
        m_folder.WriteFile("templates/fx/sparks.BinaryTemplate", std::string(body.begin(), body.end()));
        m_folder.WriteFile("templates/fx/broken.BinaryTemplate", "short");
        gTemplateManager.LoadTemplateFolder();
    }
    void TearDown() override
    {
        m_renderer.SubmitCommands(true);
        gTemplateManager.Clear();
        m_manager.Close();
        gFileSystem.UnmountAll();
        RendererTestBase::TearDown();
    }

    TempFolder m_folder;
    ResourceManager m_manager;
};

TEST_F(SFXParticleTemplateLoadTest, TheElementPlaysItsTemplateEvenWhenNothingElseLoadedIt)
{
    struct Row
    {
        const char* name;
        uint8_t guid;
        bool plays;
    };
    const Row rows[] = {{"a template nothing loaded", 1, true}, {"a template whose body fails", 2, false}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SFXDefinition definition;
        auto* element = new SFXParticleElementDefinition;
        element->SetParticleTemplateGUID(MakeGUID(row.guid));
        definition.AddElement(element);
        // As when the effect's own body is read on the resource thread: no waiting for the template.
        definition.ResolveElements(false);
        ASSERT_NE(element->GetParticleTemplate(), nullptr);
        EXPECT_FALSE(element->GetParticleTemplate()->IsLoaded());

        auto* context = new SFXContext(m_renderer, nullptr, SFXContext::kFlagNoGrid, false, false);
        context->Init(definition, Matrix::ONE, false, 0);
        context->PostRestart(1, 0);
        m_renderer.SubmitCommands(true);
        ASSERT_EQ(context->GetElementContextCount(), 1);
        const auto* particles = static_cast<SFXParticleElementContext*>(context->GetElementContext(0));
        ASSERT_NE(particles, nullptr);
        EXPECT_EQ(element->GetParticleTemplate()->IsLoaded(), row.plays);
        if (row.plays)
        {
            ASSERT_NE(particles->GetSystem(), nullptr);
            EXPECT_FLOAT_EQ(particles->GetSystem()->GetMinimumLife(), 2.0f) << "the emitter of the template's body";
        }
        else
            EXPECT_EQ(particles->GetSystem(), nullptr);
        context->Release();
        m_renderer.SubmitCommands(true);
        definition.ReleaseElementResources(0);
    }
}
} // namespace
