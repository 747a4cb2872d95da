// ctest-labels: thread
// An effect read from its file takes its mesh template without loading it; when nothing else loaded
// that template, the effect's mesh element still links to the body's rendering data and takes the
// body's box, and a template whose body fails gives no data and no box.
#include "core/filesystem/FileSystem.h"
#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXMeshElementContext.h"
#include "effects/sfx/SFXMeshElementDefinition.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/templates/TemplateManager.h"
#include "support/RendererTestBase.h"
#include "support/TempFolder.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/TemplateWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
SimpleGUID MakeGUID(uint8_t value)
{
    SimpleGUID guid;
    guid.bytes[15] = 0x4E;
    guid.bytes[0] = value;
    return guid;
}

class SFXMeshTemplateLoadTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        m_folder.WriteFile("templates/.keep", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("templates", (m_folder / "templates").c_str()));
        ASSERT_TRUE(m_manager.Init());
        const uint32_t type = MeshTemplate::kTypeId;
        TemplateWriter::WriteStubFiles(m_folder / "templates",
                                       {{"fx", "crate", MakeGUID(1), type}, {"fx", "broken", MakeGUID(2), type}});
        MeshTemplateSpec spec;
        spec.shape = MeshTemplateSpec::Shape::Box;
        spec.boxSize[0] = 2.0f;
        spec.boxSize[1] = 3.0f;
        spec.boxSize[2] = 4.0f;
        const std::vector<uint8_t> body = MeshTemplateWriter::BuildBody(spec, MakeGUID(1));
        m_folder.WriteFile("templates/fx/crate.BinaryTemplate", std::string(body.begin(), body.end()));
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

TEST_F(SFXMeshTemplateLoadTest, TheElementShowsItsMeshEvenWhenNothingElseLoadedIt)
{
    struct Row
    {
        const char* name;
        uint8_t guid;
        bool shows;
    };
    const Row rows[] = {{"a template nothing loaded", 1, true}, {"a template whose body fails", 2, false}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        SFXDefinition definition;
        auto* element = new SFXMeshElementDefinition;
        element->SetMeshTemplateGUID(MakeGUID(row.guid));
        definition.AddElement(element);
        // As when the effect's own body is read on the resource thread: no waiting for the template.
        definition.ResolveElements(false);
        ASSERT_NE(element->GetMeshTemplate(), nullptr);
        EXPECT_FALSE(element->GetMeshTemplate()->IsLoaded());

        auto* context = new SFXContext(m_renderer, nullptr, SFXContext::kFlagNoGrid, false, false);
        context->Init(definition, Matrix::ONE, false, 0);
        context->PostRestart(1, 0);
        m_renderer.SubmitCommands(true);
        ASSERT_EQ(context->GetElementContextCount(), 1);
        const auto* mesh = static_cast<SFXMeshElementContext*>(context->GetElementContext(0));
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(element->GetMeshTemplate()->IsLoaded(), row.shows);
        if (row.shows)
        {
            EXPECT_EQ(mesh->GetRenderingData(), element->GetMeshTemplate()->GetRenderingData());
            EXPECT_NE(mesh->GetRenderingData(), nullptr);
            const BoundingBox4& bounds = mesh->GetLocalBounds();
            EXPECT_EQ(bounds, element->GetMeshTemplate()->GetStaticBoundingBox());
            EXPECT_FLOAT_EQ(bounds.max.y - bounds.min.y, 3.0f) << "the box of the template's body";
        }
        else
        {
            EXPECT_EQ(mesh->GetRenderingData(), nullptr);
            EXPECT_EQ(mesh->GetLocalBounds(), BoundingBox4::INVALID);
        }
        context->Release();
        m_renderer.SubmitCommands(true);
        definition.ReleaseElementResources(0);
    }
}
} // namespace
