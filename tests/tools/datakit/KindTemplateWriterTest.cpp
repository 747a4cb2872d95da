// Templates of every data kind written by datakit read back as the class their type id names.
#include "tools/datakit/KindTemplateWriter.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "gameplay/BehaviourTree.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
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
    std::vector<std::string> arguments = {"kind-template", folder / "k.BinaryTemplate", kGUID, className};
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

TEST(KindTemplateWriterTest, FlagAndPhysicalEffectTemplates)
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

TEST(KindTemplateWriterTest, BehaviourTreeAndAnimationGraphTemplates)
{
    std::unique_ptr<EntityTemplate> trees = WriteAndRead({"--tree", "Patrol", "--tree", "Attack"}, "BehaviourTreeTemplate");
    ASSERT_NE(trees, nullptr);
    const BehaviourTreeTemplate& treeTemplate = static_cast<BehaviourTreeTemplate&>(*trees);
    ASSERT_EQ(treeTemplate.GetTrees().Count(), 2);
    EXPECT_EQ(treeTemplate.FindTreeByName("Attack"), treeTemplate.GetTrees()[1]);

    std::unique_ptr<EntityTemplate> graph = WriteAndRead(
        {"--transition", "idle walk start_walk", "--transition", "walk idle stop_walk"}, "MeshAnimationGraphTemplate");
    ASSERT_NE(graph, nullptr);
    const MeshAnimationGraphTemplate& graphTemplate = static_cast<MeshAnimationGraphTemplate&>(*graph);
    EXPECT_EQ(graphTemplate.GetDefinition(), "idle walk start_walk\nwalk idle stop_walk");
    ASSERT_EQ(graphTemplate.GetStates().Count(), 2);
    EXPECT_EQ(graphTemplate.GetStates()[1].m_transitions[0].m_targetIndex, 0);
}

TEST(KindTemplateWriterTest, UnknownClassesAndOptionsOfAnotherKindAreRefused)
{
    std::string error;
    EXPECT_EQ(KindTemplateWriter::MakeTemplate("NoSuchTemplate", {}, error), nullptr);
    EXPECT_NE(error.find("NoSuchTemplate"), std::string::npos);
    EXPECT_EQ(KindTemplateWriter::MakeTemplate("BehaviourTree", {}, error), nullptr);
    EXPECT_EQ(KindTemplateWriter::MakeTemplate("FlagTemplate", {{"--tree", "A"}}, error), nullptr);
    EXPECT_NE(error.find("FlagTemplate"), std::string::npos);
    EXPECT_EQ(KindTemplateWriter::MakeTemplate("FlagTemplate", {{"--set", "No such = 1"}}, error), nullptr);
    TempFolder folder;
    EXPECT_EQ(RunDatakit({"kind-template", folder / "x", kGUID, "FlagTemplate", "--set"}), 2);
    EXPECT_EQ(RunDatakit({"kind-template", folder / "x", "not-a-guid", "FlagTemplate"}), 2);
}
} // namespace
