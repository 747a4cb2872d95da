#include "platform/os/Modules.h"

#include <gtest/gtest.h>

namespace
{
int Answer() { return 42; }

class ModulesTest : public ::testing::Test
{
protected:
    void TearDown() override { os::UnregisterAllModules(); }
};
} // namespace

TEST_F(ModulesTest, OnlyRegisteredModulesLoadAndGiveTheirEntryPoints)
{
    EXPECT_EQ(os::LoadModule("Vendor.dll"), nullptr) << "absent by default";
    os::RegisterModule("Vendor.dll", {{"Answer", reinterpret_cast<os::ModuleFunction>(&Answer)}});
    const os::ModuleHandle module = os::LoadModule("Vendor.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(os::LoadModule("vendor.dll"), nullptr) << "names are exact";
    EXPECT_EQ(os::GetModuleLoadCount("vendor.dll"), 0u) << "never registered";
    const auto answer = reinterpret_cast<int (*)()>(os::GetModuleFunction(module, "Answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(os::GetModuleFunction(module, "Missing"), nullptr);
    EXPECT_EQ(os::GetModuleLoadCount("Vendor.dll"), 1u);

    EXPECT_TRUE(os::FreeModule(module));
    EXPECT_EQ(os::GetModuleLoadCount("Vendor.dll"), 0u);
    EXPECT_EQ(os::GetModuleFunction(module, "Answer"), nullptr) << "a freed module gives nothing";
    EXPECT_FALSE(os::FreeModule(module)) << "freed once per load";
    EXPECT_FALSE(os::FreeModule(nullptr));
}
