#include "core/filesystem/FileSystem.h"
#include "engine/config/ProjectConfig.h"
#include "online/InGameStore.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

TEST(InGameStoreTest, AbsentWithoutAStoreFileAndReadFromCommonWithOne)
{
    ConsoleCapture log;
    TempFolder folder;
    folder.WriteFile("common/Store.bin", std::string("\x01\x02\x00\x03", 4));
    ASSERT_TRUE(gFileSystem.MountDirectory("common", (folder / "common").c_str()));
    ProjectConfig project;
    EXPECT_EQ(InGameStore::CreateFromProject(project), nullptr);
    EXPECT_EQ(log.CountOfKind(CONSOLE_WARNING), 0u);

    project.m_storeDefinitionFile = "Store.bin";
    std::unique_ptr<InGameStore> store = InGameStore::CreateFromProject(project);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->GetDefinitionBytes(), (std::vector<uint8_t>{1, 2, 0, 3}));
    store->RunRequest(5, 9);
    EXPECT_TRUE(log.Contains("InGameStore: request 5 (9) over 4 bytes of store data: the store is not built yet"));

    project.m_storeDefinitionFile = "Missing.bin";
    EXPECT_EQ(InGameStore::CreateFromProject(project), nullptr);
    EXPECT_TRUE(log.Contains("Unable to open the store definition file Missing.bin", CONSOLE_WARNING));
    gFileSystem.UnmountAll();
}
