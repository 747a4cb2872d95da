#include "platform/gpu/GpuEnvironment.h"
#include "platform/window/Display.h"
#include "platform/window/Window.h"

#include <gtest/gtest.h>

using namespace win;

namespace
{
class DisplayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
        config.desktopWidth = 1600;
        config.desktopHeight = 900;
        config.modes = {{800, 600, 60, gpu::kFormatX8R8G8B8},
                        {800, 600, 60, gpu::kFormatR5G6B5},
                        {1280, 720, 75, gpu::kFormatX8R8G8B8},
                        {1600, 900, 60, gpu::kFormatX8R8G8B8},
                        {1600, 900, 75, gpu::kFormatX8R8G8B8}};
        gpu::SetDisplayConfig(config);
        ResetWindowSystem();
    }
    void TearDown() override
    {
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
        ResetWindowSystem();
    }
};
} // namespace

TEST_F(DisplayTest, DesktopAndModesComeFromTheGraphicsDisplay)
{
    EXPECT_EQ(GetSystemMetrics(kMetricScreenWidth), 1600);
    EXPECT_EQ(GetSystemMetrics(kMetricScreenHeight), 900);
    EXPECT_EQ(GetSystemMetrics(kMetricScreenHeight + 1), 0) << "a metric the display does not keep";
    DisplayMode mode;
    ASSERT_TRUE(EnumDisplaySettings(kEnumCurrentSettings, mode));
    EXPECT_EQ(mode.width, 1600u);
    EXPECT_EQ(mode.height, 900u);
    ASSERT_TRUE(EnumDisplaySettings(0, mode));
    EXPECT_EQ(mode.width, 800u);
    ASSERT_TRUE(EnumDisplaySettings(1, mode)) << "one entry per size and rate, whatever the formats";
    EXPECT_EQ(mode.width, 1280u);
    EXPECT_EQ(mode.frequency, 75u);
    ASSERT_TRUE(EnumDisplaySettings(3, mode)) << "the same size at another rate";
    EXPECT_FALSE(EnumDisplaySettings(4, mode));
}

TEST_F(DisplayTest, ChangesApplyOfferedSizesAndShareThemWithTheGraphicsDisplay)
{
    DisplayMode start;
    ASSERT_TRUE(EnumDisplaySettings(kEnumCurrentSettings, start));
    DisplayMode wanted = start;
    wanted.fields = kModeWidth | kModeHeight;
    wanted.width = 1280;
    wanted.height = 720;
    wanted.frequency = 1; // not named by the fields: kept
    ASSERT_EQ(ChangeDisplaySettings(&wanted, 0), kDisplayChangeSuccessful);
    EXPECT_EQ(GetSystemMetrics(kMetricScreenWidth), 1280);
    DisplayMode current;
    EnumDisplaySettings(kEnumCurrentSettings, current);
    EXPECT_EQ(current.frequency, start.frequency);
    EXPECT_EQ(gpu::GetDisplayConfig().desktopWidth, 1280u);
    EXPECT_EQ(GetDisplayChangeCount(), 1u);

    wanted.width = 1600; // the desktop's width, but not its height
    EXPECT_EQ(ChangeDisplaySettings(&wanted, 0), kDisplayChangeBadMode);
    EXPECT_EQ(GetSystemMetrics(kMetricScreenWidth), 1280) << "a refused change changes nothing";

    FailDisplayChanges(1);
    EXPECT_EQ(ChangeDisplaySettings(&start, 0), kDisplayChangeFailed);
    EXPECT_EQ(GetSystemMetrics(kMetricScreenWidth), 1280);
    ASSERT_EQ(ChangeDisplaySettings(&start, 0), kDisplayChangeSuccessful);
    EXPECT_EQ(GetSystemMetrics(kMetricScreenWidth), 1600);

    ChangeDisplaySettings(nullptr, 0);
    EXPECT_EQ(GetSystemMetrics(kMetricScreenHeight), 900) << "null goes back to the start mode";
    EXPECT_EQ(GetDisplayChangeCount(), 3u);
}
