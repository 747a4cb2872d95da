// Ambient sound templates written by datakit, by the command and by the writer, read back as
// ambient sound templates with their entry and their compound elements.
#include "tools/datakit/AmbientSoundTemplateWriter.h"

#include "scene/SceneClassRegistration.h"
#include "scene/kinds/AmbientSoundTemplate.h"
#include "scene/templates/TemplateBodyReader.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

TEST(DataTemplateWriterAmbientSoundTest, TheEntryTheElementsAndTheKindRoundTrip)
{
    RegisterSceneClasses();
    TempFolder folder;
    ASSERT_EQ(RunDatakit({"data-template", folder / "a.BinaryTemplate", "00000000-0000-0000-0000-00000000002c",
                          "AmbientSoundTemplate", "--set", "Sound entry = Forest birds", "--element",
                          "Speaker props/Horn 0 2 0"}),
              0);
    std::ifstream in(folder / "a.BinaryTemplate", std::ios::binary);
    const std::vector<uint8_t> body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(body.size(), 20u);
    EXPECT_EQ(body[16], AmbientSoundTemplate::kTypeId);
    EXPECT_TRUE(TemplateTypeRegistry::GetInstance().IsKindOf(body[16], 5)) << "a kind of compound";
    AmbientSoundTemplate read;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(read, body.data(), body.size()));
    EXPECT_STREQ(read.GetSoundEntry().CStr(), "Forest birds");
    ASSERT_EQ(read.GetElements().Count(), 1);
    EXPECT_STREQ(read.GetElements()[0].m_templateName.CStr(), "props/Horn");
    EXPECT_FLOAT_EQ(read.GetElements()[0].m_locationMatrix.At(3, 1), 2.0f);

    // The writer's body holds the same.
    CompoundElementSpec horn;
    horn.name = "Speaker";
    horn.templateName = "props/Horn";
    SimpleGUID guid;
    guid.bytes[3] = 0x17;
    const std::vector<uint8_t> written = AmbientSoundTemplateWriter::BuildBody("Wind", {horn, horn}, guid);
    AmbientSoundTemplate fromWriter;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(fromWriter, written.data(), written.size()));
    EXPECT_EQ(fromWriter.GetTypeId(), AmbientSoundTemplate::kTypeId);
    EXPECT_EQ(fromWriter.GetGUID().bytes[3], 0x17);
    EXPECT_STREQ(fromWriter.GetSoundEntry().CStr(), "Wind");
    ASSERT_EQ(fromWriter.GetElements().Count(), 2);
    EXPECT_STREQ(fromWriter.GetElements()[1].m_name.CStr(), "Speaker");
    EXPECT_TRUE(AmbientSoundTemplateWriter::MakeTemplate("", {})->GetSoundEntry().IsEmpty());
}
