// Template files under a real resource manager, for effects read from their files: such an effect
// takes its element templates without waiting for their bodies, and a test plays it. Test thread
// (the game thread); the resource thread reads the bodies.
#pragma once

#include "core/filesystem/FileSystem.h"
#include "effects/SFXContext.h"
#include "effects/sfx/SFXDefinition.h"
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

class SFXTemplateLoadFixture : public RendererTestBase
{
protected:
    // "templates/fx/<name>": its stub and body; an empty body is written short, so that it fails.
    struct TemplateFile
    {
        const char* name;
        uint8_t guid;
        uint32_t type;
        std::vector<uint8_t> body;
    };

    void SetUp() override
    {
        RendererTestBase::SetUp();
        RegisterSceneClasses();
        m_folder.WriteFile("templates/.keep", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("templates", (m_folder / "templates").c_str()));
        ASSERT_TRUE(m_manager.Init());
    }
    void TearDown() override
    {
        m_renderer.SubmitCommands(true);
        SFXDefinition::StopWaitingForAllArrivals();
        // As the engine closes: templates unload (giving back what their bodies hold) before the
        // resource manager evicts them.
        gTemplateManager.Close();
        m_manager.Close();
        gFileSystem.UnmountAll();
        RendererTestBase::TearDown();
    }

    static SimpleGUID MakeGUID(uint8_t value)
    {
        SimpleGUID guid;
        guid.bytes[15] = 0x4E;
        guid.bytes[0] = value;
        return guid;
    }
    // The stored body of a particle template `templateId` whose mesh particles draw mesh `meshId`.
    static std::vector<uint8_t> MeshParticleBody(uint8_t templateId, uint8_t meshId)
    {
        ParticleTemplate particles;
        char text[SimpleGUID::kTextLength + 1];
        MakeGUID(meshId).ToString(text, sizeof(text));
        SetParticleProperty(particles.GetSystem(), "Mesh template", text);
        return SceneWriter::BuildTemplateBody(particles, MakeGUID(templateId), ParticleTemplate::kTypeId);
    }
    void WriteTemplates(const std::vector<TemplateFile>& files)
    {
        std::vector<TemplateStubEntry> stubs;
        for (const TemplateFile& file : files)
        {
            stubs.push_back({"fx", file.name, MakeGUID(file.guid), file.type});
            const std::string body = file.body.empty() ? "short" : std::string(file.body.begin(), file.body.end());
            m_folder.WriteFile(std::string("templates/fx/") + file.name + ".BinaryTemplate", body);
        }
        TemplateWriter::WriteStubFiles(m_folder / "templates", stubs);
        gTemplateManager.LoadTemplateFolder();
    }

    // Plays `definition`, resolved by the caller as a body read resolves it (without waiting).
    SFXContext& Play(SFXDefinition& definition)
    {
        auto* context = new SFXContext(m_renderer, nullptr, SFXContext::kFlagNoGrid, false, false);
        context->Init(definition, Matrix::ONE, false, 0);
        context->PostRestart(1, 0);
        m_renderer.SubmitCommands(true);
        return *context;
    }
    void Stop(SFXContext& context, SFXDefinition& definition)
    {
        context.Release();
        m_renderer.SubmitCommands(true);
        definition.ReleaseElementResources(0);
    }

    TempFolder m_folder;
    ResourceManager m_manager;
};
