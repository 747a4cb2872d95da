// ctest-labels: thread
// An effect read from its file takes its particle template without loading it; when nothing else
// (a particle entity of the same template) loaded that template, the effect's element still plays
// the template's emitter, with the passes of its particles' mesh (itself taken without waiting when
// the particle template's body was read), and a template whose body fails gives no emitter.
#include "SFXTemplateLoadFixture.h"

#include "effects/particles/ParticleSystemContext.h"
#include "effects/sfx/SFXParticleElementContext.h"
#include "effects/sfx/SFXParticleElementDefinition.h"
#include "scene/kinds/MeshTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "support/ParticleTestSupport.h"
#include "tools/datakit/MeshTemplateWriter.h"
#include "tools/datakit/SceneWriter.h"

namespace
{
class SFXParticleTemplateLoadTest : public SFXTemplateLoadFixture
{
protected:
    void SetUp() override
    {
        SFXTemplateLoadFixture::SetUp();
        const uint32_t type = ParticleTemplate::kTypeId;
        ParticleTemplate sparks;
        SetParticleProperty(sparks.GetSystem(), "Life time", "2.5");
        SetParticleProperty(sparks.GetSystem(), "Life time variable", "0.5");
        // Two particle templates of mesh particles, each with its own mesh.
        std::vector<uint8_t> shardsBodies[2];
        for (uint8_t i = 0; i < 2; ++i)
            shardsBodies[i] = MeshParticleBody(uint8_t(3 + 2 * i), uint8_t(4 + 2 * i));
        // The shard's render list 0x80: passes 16 | 6 | 8; the writer sets the depth-pass byte.
        MeshTemplateSpec shard;
        shard.renderSwitches[1] = 1;
        const uint32_t mesh = MeshTemplate::kTypeId;
        WriteTemplates({{"sparks", 1, type, SceneWriter::BuildTemplateBody(sparks, MakeGUID(1), type)},
                        {"broken", 2, type, {}},
                        {"shards", 3, type, shardsBodies[0]},
                        {"shard", 4, mesh, MeshTemplateWriter::BuildBody(shard, MakeGUID(4))},
                        {"splinters", 5, type, shardsBodies[1]},
                        {"splinter", 6, mesh, MeshTemplateWriter::BuildBody(shard, MakeGUID(6))}});
    }
};

TEST_F(SFXParticleTemplateLoadTest, TheElementPlaysItsTemplateEvenWhenNothingElseLoadedIt)
{
    struct Row
    {
        const char* name;
        uint8_t guid;
        bool plays;
        float minimumLife;
        uint32_t passBits;
        // Loaded before the effect (by a particle entity): its body found no mesh loaded to keep.
        bool loadedBefore;
    };
    const Row rows[] = {{"a template nothing loaded", 1, true, 2.0f, 17, false},
                        {"a template whose body fails", 2, false, 0.0f, 17, false},
                        {"mesh particles", 3, true, 1.0f, 30, false},
                        {"mesh particles loaded before their mesh", 5, true, 1.0f, 30, true}};
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        EntityTemplate* const before = row.loadedBefore ? gTemplateManager.GetTemplateByGUIDLocked(MakeGUID(row.guid), true)
                                                        : nullptr;
        SFXDefinition definition;
        auto* element = new SFXParticleElementDefinition;
        element->SetParticleTemplateGUID(MakeGUID(row.guid));
        definition.AddElement(element);
        // As when the effect's own body is read on the resource thread: no waiting for the template.
        definition.ResolveElements(false);
        ASSERT_NE(element->GetParticleTemplate(), nullptr);
        EXPECT_EQ(element->GetParticleTemplate()->IsLoaded(), row.loadedBefore);

        SFXContext& context = Play(definition);
        ASSERT_EQ(context.GetElementContextCount(), 1);
        const auto* particles = static_cast<SFXParticleElementContext*>(context.GetElementContext(0));
        ASSERT_NE(particles, nullptr);
        EXPECT_EQ(element->GetParticleTemplate()->IsLoaded(), row.plays);
        EXPECT_EQ(element->GetPassBits(), row.passBits);
        EXPECT_EQ(definition.GetPassBits(), row.passBits);
        EXPECT_EQ(element->GetDepthPassByte(), row.passBits == 30 ? 1 : 0);
        if (row.plays)
        {
            ASSERT_NE(particles->GetSystem(), nullptr);
            EXPECT_FLOAT_EQ(particles->GetSystem()->GetMinimumLife(), row.minimumLife)
                << "the emitter of the template's body";
            EXPECT_EQ(particles->GetSystem()->IsMeshParticles(), row.passBits == 30);
        }
        else
            EXPECT_EQ(particles->GetSystem(), nullptr);
        Stop(context, definition);
        if (before != nullptr)
            before->Resource::Release();
    }
}

TEST_F(SFXParticleTemplateLoadTest, AnElementResolvedWhereItMayWaitHoldsItsTemplateLoaded)
{
    SFXDefinition definition;
    auto* element = new SFXParticleElementDefinition;
    element->SetParticleTemplateGUID(MakeGUID(1));
    definition.AddElement(element);
    definition.ResolveElements(true);
    ASSERT_NE(element->GetParticleTemplate(), nullptr);
    EXPECT_TRUE(element->GetParticleTemplate()->IsLoaded());
}
} // namespace
