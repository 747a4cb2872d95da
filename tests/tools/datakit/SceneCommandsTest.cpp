// The template and scene subcommands write files the engine's readers take, and scene-print lists them.
#include "scene/SceneClassRegistration.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/TemplateBodyReader.h"
#include "scene/templates/TemplateManager.h"
#include "scene/templates/EntityTemplateStub.h"
#include "support/TempFolder.h"
#include "tools/datakit/DatakitCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace
{
std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SceneCommandsTest, TemplatesAndTheirIndexBinaryTemplatesAndOptFiles)
{
    RegisterSceneClasses();
    TempFolder folder;
    folder.WriteFile("list.txt", "Units/Tank 00000000-0000-0000-0000-000000000009 0\n"
                                 "Props/Crate 00000000-0000-0000-0000-000000000003 0\n");
    ASSERT_EQ(RunDatakit({"templates", folder / "templates", folder / "list.txt", "--info", folder / "info.bin"}), 0);
    const std::vector<uint8_t> info = ReadBytes(folder / "info.bin");
    TemplateManager manager;
    ASSERT_TRUE(manager.ReadTemplateInfo(info.data(), info.size()));
    ASSERT_NE(manager.FindStubByPath("units/tank"), nullptr);
    EXPECT_EQ(manager.FindStubByPath("units/tank")->GetGUID().bytes[0], 9);
    EXPECT_TRUE(std::filesystem::exists(folder / "templates/Props/Crate.template"));

    ASSERT_EQ(RunDatakit({"binary-template", folder / "a.BinaryTemplate", "00000000-0000-0000-0000-000000000007", "0",
                          "--lua-class", "Tower", "--passes", "2"}),
              0);
    const std::vector<uint8_t> body = ReadBytes(folder / "a.BinaryTemplate");
    EntityTemplate loaded;
    ASSERT_TRUE(TemplateBodyReader::ReadBody(loaded, body.data(), body.size()));
    EXPECT_STREQ(loaded.GetLuaClass(), "Tower");
    EXPECT_EQ(loaded.GetInitializationPassCount(), 2u);
    EXPECT_EQ(loaded.GetGUID().bytes[0], 7);

    ASSERT_EQ(RunDatakit({"opt", folder / "s.opt", folder / "a.BinaryTemplate:4", folder / "a.BinaryTemplate"}), 0);
    const std::vector<uint8_t> opt = ReadBytes(folder / "s.opt");
    ASSERT_EQ(opt.size(), 8 + 2 * 4 + 2 * (4 + body.size()));
    EXPECT_EQ(opt[0], 53);
    EXPECT_EQ(opt[4], 2);
    EXPECT_EQ(opt[8], 4);
    EXPECT_EQ(opt[12], 0xFF);
    EXPECT_NE(RunDatakit({"binary-template", folder / "b", "not-a-guid", "0"}), 0);
    folder.WriteFile("bad.txt", "Units/Tank not-a-guid 0\n");
    EXPECT_EQ(RunDatakit({"templates", folder / "bad", folder / "bad.txt"}), 1);
}

TEST(SceneCommandsTest, SceneWriteAndPrint)
{
    TempFolder folder;
    const std::string scene = folder / "Level.BinaryScene";
    ASSERT_EQ(RunDatakit({"scene-write", scene, "5A000000-0000-0000-0000-000000000001", "3", "--grid", "4x2", "--sets",
                          "2", "--spacing", "5"}),
              0);
    testing::internal::CaptureStdout();
    ASSERT_EQ(RunDatakit({"scene-print", scene}), 0);
    const std::string listing = testing::internal::GetCapturedStdout();
    EXPECT_NE(listing.find("3 entities, 2 sets, navigation grid: yes"), std::string::npos) << listing;
    for (const char* shown : {"-000000000001  Entity0 ", "-000000000001  Entity2 ", "(5, 0, 0)", "(0, 0, 5)"})
        EXPECT_NE(listing.find(shown), std::string::npos) << listing;
    EXPECT_NE(RunDatakit({"scene-print", folder / "missing"}), 0);
    // A file that is no scene says so, though the listing keeps the engine's reasons to --verbose.
    folder.WriteFile("junk", "not a scene");
    folder.WriteFile("empty", "");
    for (const char* bad : {"junk", "empty"})
    {
        testing::internal::CaptureStderr();
        EXPECT_EQ(RunDatakit({"scene-print", folder / bad}), 1) << bad;
        EXPECT_NE(testing::internal::GetCapturedStderr().find(bad + std::string(" is not a whole scene file")),
                  std::string::npos)
            << bad;
    }
    EXPECT_EQ(RunDatakit({"scene-write", folder / "g", "5A000000-0000-0000-0000-000000000001", "1", "--grid", "4y2"}), 2);
}
} // namespace
