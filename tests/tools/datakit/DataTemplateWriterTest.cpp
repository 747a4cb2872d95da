// Templates of every data kind written by datakit read back as the class their type id names.
#include "tools/datakit/DataTemplateWriter.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "effects/sfx/SFXDefinition.h"
#include "effects/sfx/SFXQuadElementDefinition.h"
#include "gameplay/behaviour/BehaviourNode.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/ColorEnvelopeTemplate.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/InGameUITemplate.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "scene/kinds/VectorEnvelopeTemplate.h"
#include "scene/templates/TemplateBodyReader.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace
{
const char* const kGUID = "00000000-0000-0000-0000-00000000002a";

// Runs the command and reads the body back into a template made from the body's type id, as the
// template pool does.
std::unique_ptr<EntityTemplate> WriteAndRead(const std::vector<std::string>& options, const char* className)
{
    RegisterSceneClasses();
    TempFolder folder;
    std::vector<std::string> arguments = {"data-template", folder / "k.BinaryTemplate", kGUID, className};
    arguments.insert(arguments.end(), options.begin(), options.end());
    EXPECT_EQ(RunDatakit(arguments), 0);
    std::ifstream in(folder / "k.BinaryTemplate", std::ios::binary);
    const std::vector<uint8_t> body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (body.size() < 20)
        return nullptr;
    const uint32_t typeId = body[16] | (body[17] << 8) | (body[18] << 16) | (uint32_t(body[19]) << 24);
    const char* typeClass = TemplateTypeRegistry::GetInstance().GetClassName(typeId);
    EXPECT_STREQ(typeClass, className);
    std::unique_ptr<EntityTemplate> read(
        dynamic_cast<EntityTemplate*>(RTTIClassRegistry::CreateObject(typeClass != nullptr ? typeClass : "")));
    if (read == nullptr || !TemplateBodyReader::ReadBody(*read, body.data(), body.size()))
        return nullptr;
    EXPECT_EQ(read->GetGUID().bytes[0], 0x2a);
    return read;
}

TEST(DataTemplateWriterTest, FlagAndPhysicalEffectTemplates)
{
    std::unique_ptr<EntityTemplate> flag = WriteAndRead({"--set", "Size = 2", "--set", "Lua class = PathFlag"}, "FlagTemplate");
    ASSERT_NE(flag, nullptr);
    EXPECT_FLOAT_EQ(static_cast<FlagTemplate&>(*flag).GetSize(), 2.0f);
    EXPECT_STREQ(flag->GetLuaClass(), "PathFlag");
    // The box written is the one the size gives.
    EXPECT_FLOAT_EQ(flag->GetStaticBoundingBox().max.y, 9.6f);

    std::unique_ptr<EntityTemplate> effect =
        WriteAndRead({"--mesh", "debris/Rock", "--particles", "sfx/Dust"}, "PhysicalEffectTemplate");
    ASSERT_NE(effect, nullptr);
    const PhysicalEffect& description = static_cast<PhysicalEffectTemplate&>(*effect).GetEffect();
    EXPECT_STREQ(description.GetMeshTemplatePath().CStr(), "debris/Rock");
    EXPECT_STREQ(description.GetParticleTemplatePath().CStr(), "sfx/Dust");
}

TEST(DataTemplateWriterTest, BehaviourTreeAndAnimationGraphTemplates)
{
    std::unique_ptr<EntityTemplate> trees = WriteAndRead(
        {"--tree", "Patrol", "--tree",
         "Attack = BTTaskSequence[Name=Go]{BTTaskAction[Name=Aim;Weight=3;@Disabled=calm] BTTaskAction[Name=Fire]}"},
        "BehaviourTreeTemplate");
    ASSERT_NE(trees, nullptr);
    const BehaviourTreeTemplate& treeTemplate = static_cast<BehaviourTreeTemplate&>(*trees);
    ASSERT_EQ(treeTemplate.GetTrees().Count(), 2);
    EXPECT_EQ(treeTemplate.GetTrees()[0]->GetRoot(), nullptr);
    const BehaviourTree* attack = treeTemplate.FindTreeByName("Attack");
    ASSERT_EQ(attack, treeTemplate.GetTrees()[1]);
    const BehaviourNode* root = attack->GetRoot();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetClassName(), "BTTaskSequence");
    EXPECT_STREQ(root->GetName().CStr(), "Go");
    ASSERT_EQ(root->GetChildCount(), 2u);
    EXPECT_STREQ(root->GetChild(0)->GetName().CStr(), "Aim");
    EXPECT_EQ(root->GetChild(0)->GetWeightField(), 3u);
    ASSERT_EQ(root->GetChild(0)->GetListeners().Count(), 1);
    EXPECT_STREQ(root->GetChild(1)->GetName().CStr(), "Fire");
    // Read back, the offsets are laid out afresh.
    EXPECT_EQ(root->GetChild(1)->GetContextDataIndex(), 32);

    std::unique_ptr<EntityTemplate> graph = WriteAndRead(
        {"--transition", "idle walk start_walk", "--transition", "walk idle stop_walk"}, "MeshAnimationGraphTemplate");
    ASSERT_NE(graph, nullptr);
    const MeshAnimationGraphTemplate& graphTemplate = static_cast<MeshAnimationGraphTemplate&>(*graph);
    EXPECT_EQ(graphTemplate.GetDefinition(), "idle walk start_walk\nwalk idle stop_walk");
    ASSERT_EQ(graphTemplate.GetStates().Count(), 2);
    EXPECT_EQ(graphTemplate.GetStates()[1].m_transitions[0].m_targetIndex, 0);
}

TEST(DataTemplateWriterTest, EnvelopeUIAndEffectTemplates)
{
    std::unique_ptr<EntityTemplate> vectors =
        WriteAndRead({"--key", "0 0 0 0 0", "--key", "1.5 1 2 3 4", "--interpolation", "CubicBezier", "--loop",
                      "Idle 0.5 1.25"},
                     "VectorEnvelopeTemplate");
    ASSERT_NE(vectors, nullptr);
    const TEnvelope<Vector>& curve = static_cast<VectorEnvelopeTemplate&>(*vectors).GetEnvelope();
    ASSERT_EQ(curve.GetKeyCount(), 2);
    EXPECT_EQ(curve.GetKeyTime(1), 1536u);
    EXPECT_FLOAT_EQ(curve.GetKeyValue(1).w, 4.0f);
    EXPECT_EQ(curve.GetInterpolation(), uint32_t(Envelope::INTERPOLATION_CUBIC_BEZIER));
    ASSERT_EQ(curve.GetLoops().Count(), 1);
    EXPECT_STREQ(curve.GetLoops()[0].m_name.CStr(), "Idle");
    EXPECT_EQ(curve.GetLoops()[0].m_start, 512u);
    EXPECT_EQ(curve.GetLoops()[0].m_end, 1280u);

    std::unique_ptr<EntityTemplate> colors = WriteAndRead({"--key", "0.25 10 20 30 40 2"}, "ColorEnvelopeTemplate");
    ASSERT_NE(colors, nullptr);
    const TEnvelope<HDRColor>& colorCurve = static_cast<ColorEnvelopeTemplate&>(*colors).GetEnvelope();
    ASSERT_EQ(colorCurve.GetKeyCount(), 1);
    EXPECT_EQ(colorCurve.GetKeyValue(0).b, 30);
    EXPECT_FLOAT_EQ(colorCurve.GetKeyValue(0).multiplier, 2.0f);

    std::unique_ptr<EntityTemplate> ui = WriteAndRead({"--set", "Size = 4 2 1 0"}, "InGameUITemplate");
    ASSERT_NE(ui, nullptr);
    EXPECT_FLOAT_EQ(static_cast<InGameUITemplate&>(*ui).GetSize().y, 2.0f);

    std::unique_ptr<EntityTemplate> sfx =
        WriteAndRead({"--set", "Activation at start delay = 0.5", "--definition", "Delete timeout = 2.5", "--definition",
                      "Scale for all elements = 2 3 4 1", "--sfx-element", "Description = Spark; Enabled = 0",
                      "--sfx-element", "SFXQuadElementDefinition: Description = Glow; Texture frames X = 4"},
                     "SFXTemplate");
    ASSERT_NE(sfx, nullptr);
    EXPECT_FLOAT_EQ(static_cast<SFXTemplate&>(*sfx).GetActivationDelay(), 0.5f);
    const SFXDefinition& definition = static_cast<SFXTemplate&>(*sfx).GetDefinition();
    EXPECT_FLOAT_EQ(definition.GetDeleteTimeout(), 2.5f);
    EXPECT_FLOAT_EQ(definition.GetScaleForAllElements().z, 4.0f);
    ASSERT_EQ(definition.GetElements().Count(), 2);
    EXPECT_EQ(definition.GetElements()[0]->GetDescription(), "Spark");
    EXPECT_FALSE(definition.GetElements()[0]->IsEnabled());
    EXPECT_TRUE(definition.GetElements()[1]->IsEnabled());
    const auto* quad = dynamic_cast<const SFXQuadElementDefinition*>(definition.GetElements()[1]);
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(quad->GetTextureFramesX(), 4u);
    EXPECT_EQ(definition.GetElements()[1]->GetOwner(), &definition);
    std::unique_ptr<EntityTemplate> particles =
        WriteAndRead({"--set", "Offscreen processing = 1", "--system", "Spawn rate = 42", "--system",
                      "Initial velocity = 0 4 0 0"},
                     "ParticleTemplate");
    ASSERT_NE(particles, nullptr);
    const ParticleTemplate& sparks = static_cast<ParticleTemplate&>(*particles);
    EXPECT_TRUE(sparks.IsOffscreenProcessing());
    EXPECT_FLOAT_EQ(sparks.GetSystem().GetSpawnRate(), 42.0f);
    EXPECT_FLOAT_EQ(sparks.GetSystem().GetInitialVelocity().y, 4.0f);

    std::string error;
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("VectorEnvelopeTemplate", {{"--key", "1 0 0 0 0"}, {"--key", "1 0 0 0 0"}},
                                               error),
              nullptr);
    for (const char* kind : {"VectorEnvelopeTemplate", "ColorEnvelopeTemplate"})
        EXPECT_EQ(DataTemplateWriter::MakeTemplate(kind, {{"--key", "1 0 0"}}, error), nullptr) << kind;
    // Loops need a name and a later end; interpolations are named.
    for (const char* loop : {"Idle", "Idle 2 1", "Idle 1 1", "Idle -1 2"})
        EXPECT_EQ(DataTemplateWriter::MakeTemplate("ColorEnvelopeTemplate", {{"--loop", loop}}, error), nullptr) << loop;
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("ColorEnvelopeTemplate", {{"--interpolation", "Smooth"}}, error), nullptr);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("SFXTemplate", {{"--loop", "Idle 0 1"}}, error), nullptr);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("SFXTemplate", {{"--sfx-element", "Colour = 1"}}, error), nullptr);
    for (const char* kind : {"ParticleTemplate: Enabled = 0", "Nothing: Enabled = 0"})
        EXPECT_EQ(DataTemplateWriter::MakeTemplate("SFXTemplate", {{"--sfx-element", kind}}, error), nullptr) << kind;
}

TEST(DataTemplateWriterTest, UnknownClassesAndOptionsOfAnotherKindAreRefused)
{
    std::string error;
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("NoSuchTemplate", {}, error), nullptr);
    EXPECT_NE(error.find("NoSuchTemplate"), std::string::npos);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("BehaviourTree", {}, error), nullptr);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("FlagTemplate", {{"--tree", "A"}}, error), nullptr);
    EXPECT_NE(error.find("FlagTemplate"), std::string::npos);
    // Tree texts that do not describe a tree are refused with the reason.
    for (const char* text : {"A = NoSuchNode", "A = BTTaskSequence{BTTaskAction", "A = BTTaskAction[Weight]",
                             "A = BTTaskAction[!k=v]", "A = BTTaskRootDecorator{BTTaskAction}", "A = BTTaskAction BTTaskAction"})
    {
        error.clear();
        EXPECT_EQ(DataTemplateWriter::MakeTemplate("BehaviourTreeTemplate", {{"--tree", text}}, error), nullptr) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("FlagTemplate", {{"--set", "No such = 1"}}, error), nullptr);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("FlagTemplate", {{"--system", "Spawn rate = 1"}}, error), nullptr);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("ParticleTemplate", {{"--system", "No such = 1"}}, error), nullptr);
    TempFolder folder;
    EXPECT_EQ(RunDatakit({"data-template", folder / "x", kGUID, "FlagTemplate", "--set"}), 2);
    EXPECT_EQ(RunDatakit({"data-template", folder / "x", "not-a-guid", "FlagTemplate"}), 2);
}
} // namespace
