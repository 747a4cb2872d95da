#include "engine/config/SceneNamesTable.h"

#include "core/filesystem/FileSystem.h"
#include "core/reflection/ObjectRecord.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace
{
class SceneNamesTableTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(gFileSystem.MountDirectory("Common", m_folder.Path().c_str())); }
    void TearDown() override { gFileSystem.UnmountAll(); }

    // The object record as the data file holds it, read back with flags 0.
    static std::vector<uint8_t> Record(SceneNamesTable& table)
    {
        Dynarray<uint8_t> record;
        EXPECT_TRUE(BuildObjectRecord(table, 0, record));
        return std::vector<uint8_t>(record.Data(), record.Data() + record.Count());
    }
    void WriteFile(const std::vector<uint8_t>& bytes)
    {
        std::ofstream file(m_folder / "Scenes.Config", std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    TempFolder m_folder;
};
} // namespace

TEST_F(SceneNamesTableTest, TheFileIsOneRecordOfTheNames)
{
    SceneNamesTable written;
    written.m_sceneNames.Add(NameString("MainMenu"));
    written.m_sceneNames.Add(NameString("Level1"));
    WriteFile(Record(written));

    SceneNamesTable table;
    ASSERT_TRUE(table.Load());
    ASSERT_EQ(table.m_sceneNames.Count(), 2);
    EXPECT_STREQ(table.m_sceneNames[0].CStr(), "MainMenu");
    EXPECT_STREQ(table.m_sceneNames[1].CStr(), "Level1");
}

TEST_F(SceneNamesTableTest, AMissingOrBrokenFileGivesAnEmptyList)
{
    SceneNamesTable table;
    EXPECT_FALSE(table.Load());
    EXPECT_EQ(table.m_sceneNames.Count(), 0);

    SceneNamesTable written;
    written.m_sceneNames.Add(NameString("Level1"));
    std::vector<uint8_t> bytes = Record(written);
    bytes.resize(bytes.size() - 3);
    WriteFile(bytes);
    table.m_sceneNames.Add(NameString("Stale"));
    EXPECT_FALSE(table.Load());
    EXPECT_EQ(table.m_sceneNames.Count(), 0) << "a truncated record leaves nothing behind";
}
