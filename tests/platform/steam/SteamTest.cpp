#include "platform/steam/Steam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace
{
std::string gWarnings;

void RecordWarning(int severity, const char* text)
{
    gWarnings += std::to_string(severity) + ":" + text + ";";
}

class SteamTest : public ::testing::Test
{
protected:
    void SetUp() override { steam::SetTestSettings(steam::TestSettings()); }
    void TearDown() override
    {
        steam::Shutdown();
        steam::SetTestSettings(steam::TestSettings());
    }
};
} // namespace

TEST_F(SteamTest, InterfacesExistOnlyWhileRunningAndUnlessWithheld)
{
    EXPECT_EQ(steam::GetClient(), nullptr);
    ASSERT_TRUE(steam::Init());
    EXPECT_NE(steam::GetClient(), nullptr);
    EXPECT_NE(steam::GetUser(), nullptr);
    EXPECT_NE(steam::GetUserStats(), nullptr);
    EXPECT_NE(steam::GetRemoteStorage(), nullptr);
    ASSERT_NE(steam::GetUtils(), nullptr);
    EXPECT_EQ(steam::GetUtils()->GetAppID(), 1u);

    steam::TestSettings settings;
    settings.noRemoteStorage = true;
    settings.appId = 77;
    steam::SetTestSettings(settings);
    EXPECT_EQ(steam::GetRemoteStorage(), nullptr);
    EXPECT_NE(steam::GetUser(), nullptr);
    EXPECT_EQ(steam::GetUtils()->GetAppID(), 77u);

    steam::Shutdown();
    EXPECT_FALSE(steam::IsRunning());
    EXPECT_EQ(steam::GetUser(), nullptr);
    settings.initFails = true;
    steam::SetTestSettings(settings);
    EXPECT_FALSE(steam::Init());
    EXPECT_FALSE(steam::IsRunning());
}

TEST_F(SteamTest, CallbacksRunInPostingOrderOnlyWhileRunning)
{
    std::string order;
    steam::PostCallback([&order] { order += "early;"; });
    const uint32_t runs = steam::GetRunCallbacksCount();
    steam::RunCallbacks();
    EXPECT_EQ(order, "");
    EXPECT_EQ(steam::GetRunCallbacksCount(), runs + 1);

    ASSERT_TRUE(steam::Init());
    steam::RunCallbacks(); // the one posted before start-up still waits and runs now
    EXPECT_EQ(order, "early;");
    steam::PostCallback([&order] {
        order += "a;";
        steam::PostCallback([&order] { order += "c;"; });
    });
    steam::PostCallback([&order] { order += "b;"; });
    steam::RunCallbacks();
    EXPECT_EQ(order, "early;a;b;");
    steam::RunCallbacks();
    EXPECT_EQ(order, "early;a;b;c;");

    steam::PostCallback([&order] { order += "dropped;"; });
    steam::Shutdown();
    ASSERT_TRUE(steam::Init());
    steam::RunCallbacks();
    EXPECT_EQ(order, "early;a;b;c;");
}

TEST_F(SteamTest, WarningHookReceivesTheServicesWarningsUntilShutdown)
{
    ASSERT_TRUE(steam::Init());
    gWarnings.clear();
    steam::GetClient()->ReportWarning(1, "ignored before the hook");
    steam::GetClient()->SetWarningMessageHook(&RecordWarning);
    steam::GetClient()->ReportWarning(0, "hello");
    steam::GetClient()->ReportWarning(1, nullptr);
    EXPECT_EQ(gWarnings, "0:hello;1:;");
    steam::Shutdown();
    ASSERT_TRUE(steam::Init());
    EXPECT_EQ(steam::GetClient()->GetWarningMessageHook(), nullptr);
}

TEST_F(SteamTest, TheEnvironmentSwitchFailsStartUpOfAWholeProgram)
{
    setenv("NORVEX_STEAM_FAIL", "1", 1);
    EXPECT_FALSE(steam::Init());
    EXPECT_FALSE(steam::IsRunning());
    setenv("NORVEX_STEAM_FAIL", "0", 1);
    EXPECT_TRUE(steam::Init()) << "only 1 fails";
    steam::Shutdown();
    unsetenv("NORVEX_STEAM_FAIL");
}

TEST_F(SteamTest, UserImagesAreCopiedWholeOrNotAtAll)
{
    ASSERT_TRUE(steam::Init());
    steam::Utils* utils = steam::GetUtils();
    steam::SetTestImage(5, 2, 1, {1, 2, 3, 4, 5, 6}); // short: padded to the whole image
    uint32_t width = 0, height = 0;
    ASSERT_TRUE(utils->GetImageSize(5, &width, &height));
    EXPECT_EQ(width, 2u);
    EXPECT_EQ(height, 1u);
    uint8_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 0xAA);
    EXPECT_FALSE(utils->GetImageRGBA(5, buffer, 7));
    EXPECT_EQ(buffer[0], 0xAA) << "a short buffer is left alone";
    ASSERT_TRUE(utils->GetImageRGBA(5, buffer, 8));
    EXPECT_EQ(buffer[5], 6);
    EXPECT_EQ(buffer[7], 0);
    steam::SetTestImage(5, 0, 0, {});
    EXPECT_FALSE(utils->GetImageSize(5, &width, &height));
    EXPECT_FALSE(utils->GetImageRGBA(5, buffer, 8));
}
