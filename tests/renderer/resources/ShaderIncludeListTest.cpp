// The include list a compiled shader file stores, and the compiler's include handler, with empty
// lists, empty include files and a damaged text.
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileWriter.h"
#include "renderer/resources/ShaderIncludeList.h"
#include "support/TempFolder.h"
#include "support/UnreadablePackedEntry.h"

#include <gtest/gtest.h>

namespace
{
class ShaderIncludeListTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.WriteFile("Common/Shaders/Empty.hlsl", "");
        m_folder.WriteFile("Common/Shaders/Light.hlsl", "float4 light;\n");
        ASSERT_TRUE(gFileSystem.MountDirectory("Common", (m_folder / "Common").c_str()));
    }
    void TearDown() override { gFileSystem.UnmountAll(); }

    bool RoundTrip(const ShaderIncludeList& list, ShaderIncludeList& loaded)
    {
        const std::string path = m_folder / "list.bin";
        {
            FileWriter writer(path.c_str(), nullptr, nullptr, 0);
            if (!list.Write(writer))
                return false;
        }
        FileReader reader(path.c_str(), nullptr, nullptr, 0);
        return loaded.Read(reader);
    }

    TempFolder m_folder;
};
} // namespace

TEST_F(ShaderIncludeListTest, EmptyListReadsBackFromAPlainFile)
{
    ShaderIncludeList empty;
    ShaderIncludeList loaded;
    ASSERT_TRUE(RoundTrip(empty, loaded));
    EXPECT_EQ(loaded.GetText(), "");
    EXPECT_EQ(loaded.GetCount(), 0u);
    EXPECT_TRUE(loaded.IsUpToDate());
}

TEST_F(ShaderIncludeListTest, EmptyIncludeFileOpensAndIsRecorded)
{
    ShaderIncludeList list;
    const void* data = nullptr;
    uint32_t bytes = 99;
    ASSERT_EQ(list.Open(gpu::IncludeType{}, "Empty.hlsl", nullptr, &data, &bytes), gpu::kOk);
    EXPECT_EQ(bytes, 0u);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(static_cast<const char*>(data), "");
    list.Close(data);
    ASSERT_EQ(list.Open(gpu::IncludeType{}, "Light.hlsl", nullptr, &data, &bytes), gpu::kOk);
    EXPECT_EQ(bytes, 14u);
    list.Close(data);
    EXPECT_EQ(list.Open(gpu::IncludeType{}, "Missing.hlsl", nullptr, &data, &bytes), gpu::kErrNotAvailable);

    ShaderIncludeList loaded;
    ASSERT_TRUE(RoundTrip(list, loaded));
    EXPECT_EQ(loaded.GetText(), "|Empty.hlsl|Light.hlsl");
    EXPECT_EQ(loaded.GetCount(), 2u);
    EXPECT_TRUE(loaded.IsUpToDate());

    // Every name follows a separator: a text that does not start with one is out of date.
    std::string file = m_folder.ReadFile("list.bin");
    file[4] = 'x';
    m_folder.WriteFile("list.bin", file);
    FileReader reader((m_folder / "list.bin").c_str(), nullptr, nullptr, 0);
    ShaderIncludeList damaged;
    ASSERT_TRUE(damaged.Read(reader));
    EXPECT_FALSE(damaged.IsUpToDate());

    // One that opens but does not read fails as well, and stays out of the list.
    MountUnreadablePackedEntry("Common", "Shaders/Cut.hlsl", m_folder / "packed.dat");
    EXPECT_EQ(list.Open(gpu::IncludeType{}, "Cut.hlsl", nullptr, &data, &bytes), gpu::kErrNotAvailable);
    EXPECT_EQ(list.GetCount(), 2u);
}
