#include "core/reflection/ObjectRecord.h"
#include "support/AllPropertyTypes.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/RecordText.h"

#include <gtest/gtest.h>

TEST(RecordTextTest, TextOfAWholeObjectWritesBackTheSameValues)
{
    AllPropertyTypes source;
    source.Fill();
    const std::string text = RecordToText(source);
    EXPECT_NE(text.find("[AllPropertyTypes]\n"), std::string::npos);
    EXPECT_NE(text.find("Color = 255 128 7 200 2.500000\n"), std::string::npos);
    EXPECT_NE(text.find("# Poly pointers: kept from the base record"), std::string::npos);

    AllPropertyTypes copy;
    std::string error;
    ASSERT_TRUE(RecordFromText(copy, text, error)) << error;
    for (const RTTIProperty* property : AllPropertyTypes::StaticClassProperties()->GetProperties())
    {
        if (property->HasTextForm())
        {
            EXPECT_TRUE(property->Equals(&source, &copy)) << property->GetName();
        }
    }
}

TEST(RecordTextTest, BadLinesNameTheirLine)
{
    AllPropertyTypes object;
    std::string error;
    EXPECT_FALSE(RecordFromText(object, "Float = 1\nNo such thing = 2\n", error));
    EXPECT_EQ(error, "line 2: no property \"No such thing\" with a text form");
    EXPECT_FALSE(RecordFromText(object, "Vector = 1 2\n", error));
    EXPECT_FALSE(RecordFromText(object, "just words\n", error));
    RTTIPolyBaseClass bare;
    EXPECT_FALSE(RecordFromText(bare, "", error));
    EXPECT_EQ(error, "the object has no property table");
}

TEST(RecordTextTest, DatakitPrintsARecordAndWritesItBackFromEditedText)
{
    TempFolder folder;
    RegisterAllPropertyTypesClasses();
    AllPropertyTypes source;
    source.Fill();
    const std::string original = folder / "original.bin";
    ASSERT_TRUE(source.SaveToFile(original.c_str(), nullptr, nullptr, 16));

    testing::internal::CaptureStdout();
    ASSERT_EQ(RunDatakit({"record-print", "AllPropertyTypes", original, "--flags", "16"}), 0);
    std::string text = testing::internal::GetCapturedStdout();
    const std::string line = "Int = -123456\n";
    const size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, line.size(), "Int = 99\n");
    folder.WriteFile("edited.txt", text);

    const std::string edited = folder / "edited.bin";
    ASSERT_EQ(RunDatakit({"record-write", "AllPropertyTypes", folder / "edited.txt", edited, "--base", original,
                          "--flags", "16"}),
              0);
    AllPropertyTypes loaded;
    ASSERT_TRUE(loaded.LoadFromFile(edited.c_str(), nullptr, nullptr, 16));
    EXPECT_EQ(loaded.m_int, 99);
    loaded.m_int = source.m_int;
    EXPECT_TRUE(AllPropertyTypes::StaticClassProperties()->AreObjectsEqual(&source, &loaded));

    // Without --flags the record's form is found from its bytes, with and without magic and CRC.
    for (const uint32_t flags : {16u, 0u})
    {
        const std::string path = folder / ("form" + std::to_string(flags) + ".bin");
        ASSERT_TRUE(source.SaveToFile(path.c_str(), nullptr, nullptr, flags));
        testing::internal::CaptureStdout();
        EXPECT_EQ(RunDatakit({"record-print", "AllPropertyTypes", path}), 0) << flags;
        EXPECT_NE(testing::internal::GetCapturedStdout().find("Int = -123456\n"), std::string::npos) << flags;
    }

    // A record that does not fill its file under the flags given is refused before the engine reads it;
    // one that fails the engine's checks shows the engine's lines only when asked.
    std::string damaged = folder.ReadFile("original.bin");
    damaged.back() ^= 1;
    folder.WriteFile("damaged.bin", damaged);
    ConsoleCapture quiet;
    for (const bool verbose : {false, true})
        for (const auto& [file, flags] : {std::pair(original, "0"), std::pair(folder / "damaged.bin", "16")})
        {
            std::vector<std::string> arguments = {"record-print", "AllPropertyTypes", file, "--flags", flags};
            if (verbose)
                arguments.push_back("--verbose");
            testing::internal::CaptureStderr();
            EXPECT_EQ(RunDatakit(arguments), 1);
            const std::string said = testing::internal::GetCapturedStderr();
            EXPECT_EQ(said.find("needs --flags 16") != std::string::npos, file == original) << said;
            EXPECT_EQ(said.find("error: ") != std::string::npos, verbose && file != original)
                << "the engine's lines only when asked: " << said;
        }
    testing::internal::CaptureStderr();
    EXPECT_NE(RunDatakit({"record-print", "NoSuchClass", original}), 0);
    EXPECT_NE(RunDatakit({"record-print", "AllPropertyTypes", folder / "missing.bin"}), 0);
    testing::internal::GetCapturedStderr();
}
