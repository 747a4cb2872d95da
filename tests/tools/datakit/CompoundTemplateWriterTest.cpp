// Compound templates written by datakit: the element option of data-template and the writer's body.
#include "tools/datakit/CompoundTemplateWriter.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/CompoundTemplate.h"
#include "scene/templates/TemplateBodyReader.h"
#include "support/TempFolder.h"
#include "tools/datakit/DataTemplateWriter.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

TEST(CompoundTemplateWriterTest, TheElementOptionBuildsNestedElementsAndTheCommandWritesThem)
{
    RegisterSceneClasses();
    TempFolder folder;
    const std::string path = folder / "c.BinaryTemplate";
    ASSERT_EQ(RunDatakit({"data-template", path, "00000000-0000-0000-0000-000000000005", "CompoundTemplate",
                          "--element", "Base props/Rock 1 2 3 preset=Snow hidden", "--element",
                          "Top props/Tree animation=Sway hiddeningame parent=Base", "--element",
                          "Tip props/Leaf 0 0.5 0 parent=Top", "--set", "Definition = kit"}),
              0);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(body.size(), 20u);
    EXPECT_EQ(body[16], 5);
    CompoundTemplate read;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(read, body.data(), body.size()));
    EXPECT_EQ(read.GetDefinition(), "kit");
    ASSERT_EQ(read.GetElements().Count(), 1);
    const CompoundTemplateElement& base = read.GetElements()[0];
    EXPECT_STREQ(base.m_name.CStr(), "Base");
    EXPECT_STREQ(base.m_templateName.CStr(), "props/Rock");
    EXPECT_STREQ(base.m_shaderPreset.CStr(), "Snow");
    EXPECT_TRUE(base.m_hidden);
    EXPECT_FALSE(base.m_hiddenInGame);
    EXPECT_FLOAT_EQ(base.m_locationMatrix.At(3, 2), 3.0f);
    EXPECT_FLOAT_EQ(base.m_locationMatrix.At(0, 0), 1.0f);
    ASSERT_EQ(base.m_children.Count(), 1);
    const CompoundTemplateElement& top = base.m_children[0];
    EXPECT_STREQ(top.m_animation.CStr(), "Sway");
    EXPECT_TRUE(top.m_hiddenInGame);
    EXPECT_TRUE(top.m_locationMatrix.Equals(Matrix::ONE));
    ASSERT_EQ(top.m_children.Count(), 1);
    EXPECT_FLOAT_EQ(top.m_children[0].m_locationMatrix.At(3, 1), 0.5f);

    // The writer's body of the same elements reads back equal.
    CompoundElementSpec spec;
    spec.name = "Base";
    spec.templateName = "props/Rock";
    spec.children.resize(2);
    spec.children[1].name = "Second";
    const std::vector<uint8_t> written = CompoundTemplateWriter::BuildBody({spec}, SimpleGUID());
    CompoundTemplate fromWriter;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(fromWriter, written.data(), written.size()));
    const std::unique_ptr<CompoundTemplate> made = CompoundTemplateWriter::MakeTemplate({spec});
    EXPECT_TRUE(made->GetClassProperties()->AreObjectsEqual(made.get(), &fromWriter));
    EXPECT_STREQ(fromWriter.GetElements()[0].m_children[1].m_name.CStr(), "Second");
}

TEST(CompoundTemplateWriterTest, MalformedElementOptionsAreRefused)
{
    std::string error;
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("CompoundTemplate", {{"--element", "Lonely"}}, error), nullptr);
    EXPECT_NE(error.find("needs a name and a template"), std::string::npos);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("CompoundTemplate", {{"--element", "A props/A parent=Nobody"}}, error),
              nullptr);
    EXPECT_NE(error.find("names no earlier element Nobody"), std::string::npos);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("CompoundTemplate", {{"--element", "A props/A 1 2 x"}}, error), nullptr);
    EXPECT_NE(error.find("unknown word 1"), std::string::npos);
    EXPECT_EQ(DataTemplateWriter::MakeTemplate("FlagTemplate", {{"--element", "A props/A"}}, error), nullptr);
    std::unique_ptr<EntityTemplate> plain =
        DataTemplateWriter::MakeTemplate("CompoundTemplate", {{"--element", "A props/A"}}, error);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(dynamic_cast<CompoundTemplate&>(*plain).GetElements().Count(), 1);
}
