#include "scene/kinds/PhysicalEffectTemplate.h"

#include "gameplay/physics/PhysicalEffectEntity.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateManager.h"
#include "support/RenderStreamCapture.h"
#include "support/SceneTestSupport.h"
#include "support/TemplateTestSupport.h"

namespace
{
class PhysicalEffectTemplateTest : public SceneTest
{
protected:
    void TearDown() override
    {
        gTemplateManager.Clear();
        SceneTest::TearDown();
    }

    // A stub registered by code; with `bound`, an in-memory template is bound to it.
    EntityTemplate* AddStub(const char* path, uint8_t id, bool bound)
    {
        SimpleGUID guid;
        guid.bytes[0] = 0x7E;
        guid.bytes[15] = id;
        EntityTemplateStub* stub = RegisterStubAtPath(path, guid, nullptr);
        EXPECT_NE(stub, nullptr);
        if (!bound)
            return nullptr;
        EntityTemplate* entityTemplate = new EntityTemplate;
        stub->SetTemplate(entityTemplate);
        return entityTemplate;
    }
};

TEST_F(PhysicalEffectTemplateTest, DependenciesAreTheNamedMeshAndParticleTemplatesOnly)
{
    AddStub("debris/Rock", 1, false);
    AddStub("sfx/Dust", 2, false);
    PhysicalEffectTemplate empty;
    m_log.Clear();
    empty.PrepareDependencies();
    // Without a resource manager every request for a template is reported: nothing was asked.
    EXPECT_TRUE(m_log.Messages().empty());

    PhysicalEffectTemplate named;
    named.GetEffect().SetMeshTemplatePath("debris/Rock");
    named.GetEffect().SetParticleTemplatePath("sfx/Dust");
    named.PrepareDependencies();
    EXPECT_EQ(m_log.CountOfKind(CONSOLE_ERROR), 2u);
    EXPECT_TRUE(m_log.Contains("cannot load: the resource manager is not running", CONSOLE_ERROR));
    // A path the manager does not know requests nothing.
    m_log.Clear();
    named.GetEffect().SetMeshTemplatePath("debris/Unknown");
    named.GetEffect().SetParticleTemplatePath("");
    named.PrepareDependencies();
    EXPECT_TRUE(m_log.Messages().empty());
}

TEST_F(PhysicalEffectTemplateTest, ResourceFlagsReachTheNamedTemplatesAndAPathToItselfEnds)
{
    EntityTemplate* mesh = AddStub("debris/Rock", 1, true);
    EntityTemplate* particles = AddStub("sfx/Dust", 2, true);
    EntityTemplate* other = AddStub("sfx/Other", 3, true);
    PhysicalEffectTemplate effect;
    effect.GetEffect().SetMeshTemplatePath("debris/Rock");
    effect.GetEffect().SetParticleTemplatePath("sfx/Dust");
    effect.SetResourceFlags(0x200);
    EXPECT_EQ(effect.GetResourceFlags() & 0x200u, 0x200u);
    EXPECT_EQ(mesh->GetResourceFlags() & 0x200u, 0x200u);
    EXPECT_EQ(particles->GetResourceFlags() & 0x200u, 0x200u);
    EXPECT_EQ(other->GetResourceFlags() & 0x200u, 0u);

    // An effect registered under the path it names as its mesh.
    SimpleGUID guid;
    guid.bytes[0] = 0x7F;
    EntityTemplateStub* selfStub = RegisterStubAtPath("debris/Loop", guid, nullptr);
    ASSERT_NE(selfStub, nullptr);
    PhysicalEffectTemplate* loop = new PhysicalEffectTemplate;
    selfStub->SetTemplate(loop);
    loop->GetEffect().SetMeshTemplatePath("debris/Loop");
    loop->SetResourceFlags(0x10);
    EXPECT_EQ(loop->GetResourceFlags() & 0x10u, 0x10u);
}

TEST_F(PhysicalEffectTemplateTest, RecordsKeepBothPathsAndEntitiesAreTheEffectKind)
{
    PhysicalEffectTemplate source;
    source.GetEffect().SetMeshTemplatePath("debris/Rock");
    source.GetEffect().SetParticleTemplatePath("sfx/Dust");
    std::vector<uint8_t> bytes(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(bytes.data(), bytes.size(), 0), bytes.size());
    m_templates.push_back(std::make_unique<PhysicalEffectTemplate>());
    PhysicalEffectTemplate& copy = static_cast<PhysicalEffectTemplate&>(*m_templates.back());
    ASSERT_TRUE(copy.DeserializeFromMemory(bytes.data(), bytes.size(), 0));
    EXPECT_STREQ(copy.GetEffect().GetMeshTemplatePath().CStr(), "debris/Rock");
    EXPECT_STREQ(copy.GetEffect().GetParticleTemplatePath().CStr(), "sfx/Dust");
    EXPECT_EQ(copy.GetTypeId(), 16u);
    EXPECT_TRUE(copy.GetClassProperties()->AreObjectsEqual(&source, &copy));

    Vector color;
    copy.GetWireframeColor().ToVectorRaw(color);
    EXPECT_FLOAT_EQ(color.x, 1.0f);
    EXPECT_FLOAT_EQ(color.y, 0.0f);
    Entity* entity = gEntityManager.CreateEntity(&copy, nullptr, Matrix::ONE, 0, nullptr);
    ASSERT_NE(entity, nullptr);
    EXPECT_NE(dynamic_cast<PhysicalEffectEntity*>(entity), nullptr);
    // The template's own draw passes the caller's flags on: its red box, white under flag 2.
    RenderStreamCapture capture;
    EXPECT_TRUE(copy.DrawDebug(Matrix::ONE, 0));
    EXPECT_TRUE(copy.DrawDebug(Matrix::ONE, 2));
    capture.Take();
    for (const float green : {0.0f, 1.0f})
    {
        ASSERT_TRUE(capture.SkipTo(RENDER_OP_DEBUG_DRAW_BOX));
        capture.Skip(sizeof(BoundingBox4) + sizeof(Matrix));
        EXPECT_FLOAT_EQ(capture.Read<Vector>().y, green);
    }
}
} // namespace
