// Device parameters, display-mode lists, the gamma ramp and the screen mapping: pure calculations.
#include "renderer/DeviceParams.h"
#include "renderer/DisplayModeList.h"
#include "renderer/NorvexRenderer.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(DeviceParamsTest, ShadowMapSizeFollowsQuality)
{
    RendererDeviceSettings settings;
    DeviceParams params;
    settings.shadowMapSize = 8;
    settings.gfxQualityLevel = 1;
    FillDeviceParams(settings, 800, 600, true, false, &params);
    EXPECT_EQ(params.shadowMapSize, 8u) << "16 halved";
    settings.shadowMapSize = 5000;
    settings.gfxQualityLevel = 3;
    FillDeviceParams(settings, 800, 600, true, false, &params);
    EXPECT_EQ(params.shadowMapSize, 4096u);
    EXPECT_TRUE(params.highQuality);
    EXPECT_TRUE(params.shadowMapFiltering);
    // The switches and project values pass through as they are.
    EXPECT_EQ(std::tuple(params.gpuSync, params.filterKernelSize, params.depthBias, params.slopeDepthBias,
                         params.outlinesEnabled, params.projectOutlines, params.projectFakeShadows,
                         params.effectSoftnessDistance),
              std::tuple(1, 3.0f, 0.01f, 0.02f, 1, 1, 1, 2.5f));
    settings.gfxQualityLevel = 2;
    FillDeviceParams(settings, 800, 600, true, false, &params);
    EXPECT_FALSE(params.shadowMapFiltering) << "filtering from quality 3 on";
    settings.gfxQualityLevel = 0;
    FillDeviceParams(settings, 800, 600, true, false, &params);
    EXPECT_EQ(params.shadowMapSize, 0u);
    EXPECT_FALSE(params.shadowMapEnabled);
}

TEST(DeviceParamsTest, ScaleAndVsyncOnlyWhenTheConfigurationIsApplied)
{
    RendererDeviceSettings settings;
    settings.semiResolutionScreenScale = 0.5f;
    settings.vsync = true;
    DeviceParams params;
    FillDeviceParams(settings, 1001, 601, true, true, &params);
    EXPECT_EQ(params.renderWidth, 500u);
    EXPECT_EQ(params.renderHeight, 300u);
    EXPECT_TRUE(params.vsync);
    EXPECT_TRUE(params.fullScreen);
    FillDeviceParams(settings, 1001, 601, false, false, &params);
    EXPECT_EQ(params.renderWidth, 1001u);
    EXPECT_FLOAT_EQ(params.scale, 1.0f);
    EXPECT_FALSE(params.vsync);
}

TEST(DisplayModeListTest, DesktopSizesFollowTheDesktopAspect)
{
    DisplayModeList list;
    list.SetDesktop(1366, 768);
    const std::vector<DesktopSize> expected = {{800, 449}, {848, 476}, {960, 539}, {1024, 575}, {1280, 719}, {1366, 768}};
    ASSERT_EQ(list.DesktopSizes().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(list.DesktopSizes()[i].width, expected[i].width);
        EXPECT_EQ(list.DesktopSizes()[i].height, expected[i].height);
    }
    list.SetDesktop(1920, 1080);
    EXPECT_EQ(list.DesktopSizes().back().width, 1920u);
    EXPECT_EQ(list.DesktopSizes().size(), 10u) << "the desktop width is listed once";

    uint32_t width = 1000, height = 700;
    ASSERT_TRUE(list.FindDesktopSize(&width, &height));
    EXPECT_EQ(width, 960u);
    width = 100, height = 100;
    ASSERT_TRUE(list.FindDesktopSize(&width, &height));
    EXPECT_EQ(width, 800u) << "below every size gives the first";
}

TEST(DisplayModeListTest, ModesAreSortedDedupedAndSearched)
{
    DisplayModeList list;
    list.AddMode({1024, 768, 75, 22});
    list.AddMode({800, 600, 59, 22});
    list.AddMode({800, 600, 75, 22});
    list.AddMode({640, 400, 60, 22}); // too low
    list.AddMode({1280, 720, 60, 22});
    list.AddMode({1024, 768, 60, 22});
    list.AddMode({800, 600, 61, 22}); // as near 60 Hz as the listed 59: not closer, so not taken
    ASSERT_EQ(list.Modes().size(), 3u);
    EXPECT_EQ(list.Modes()[0].width, 800u);
    EXPECT_EQ(list.Modes()[0].refreshRate, 59u) << "closer to 60 Hz than 75";
    EXPECT_EQ(list.Modes()[1].refreshRate, 60u);

    uint32_t width = 1100, height = 800, rate = 0;
    ASSERT_TRUE(list.FindDisplayMode(&width, &height, &rate));
    EXPECT_EQ(width, 1024u);
    EXPECT_EQ(height, 768u);
    EXPECT_EQ(rate, 60u);
    width = 1280, height = 720;
    ASSERT_TRUE(list.FindDisplayMode(&width, &height, &rate));
    EXPECT_EQ(width, 1280u);
    width = 320, height = 200;
    ASSERT_TRUE(list.FindDisplayMode(&width, &height, &rate));
    EXPECT_EQ(width, 800u) << "a request below every mode gets the first";
    EXPECT_FALSE(DisplayModeList().FindDisplayMode(&width, &height, &rate));
    list.AddMode({640, 480, 60, 22});
    EXPECT_EQ(list.Modes().front().height, 480u) << "the smallest size is taken";
}

TEST(RendererOutputTest, GammaRampAndScreenScale)
{
    gpu::GammaRamp ramp;
    NorvexRenderer::BuildGammaRamp(0.5f, &ramp);
    for (uint32_t i = 0; i < 256; ++i)
        EXPECT_EQ(ramp.red[i], uint16_t(i * 257)) << i;
    NorvexRenderer::BuildGammaRamp(0.0f, &ramp);
    EXPECT_LT(ramp.green[128], 128 * 257) << "exponent 1.4 darkens";
    EXPECT_EQ(ramp.blue[255], 65535);

    EXPECT_FLOAT_EQ(NorvexRenderer::MapScreenScale(0.0f), 0.85f);
    EXPECT_FLOAT_EQ(NorvexRenderer::MapScreenScale(1.0f), 1.0f);
    EXPECT_FLOAT_EQ(NorvexRenderer::MapScreenScale(-3.0f), 0.85f);
    EXPECT_FLOAT_EQ(NorvexRenderer::MapScreenScale(7.0f), 1.0f);
}

TEST(RendererOutputTest, ScreenMappingFromTheInverseProjection)
{
    Matrix inverse = Matrix::ONE;
    inverse.rows[0].x = 2.0f;
    inverse.rows[1].y = 3.0f;
    inverse.rows[2].w = 4.0f;
    inverse.rows[3].w = 5.0f;
    Vector r219, r223, r218;
    NorvexRenderer::ComputeScreenMapping(inverse, 100.0f, 50.0f, &r219, &r223, &r218);
    EXPECT_EQ(r219.x, 2.0f);
    EXPECT_EQ(r219.y, 3.0f);
    EXPECT_EQ(r219.z, 4.0f);
    EXPECT_EQ(r219.w, 5.0f);
    EXPECT_FLOAT_EQ(r223.x, 0.01f);
    EXPECT_FLOAT_EQ(r223.y, 0.02f);
    EXPECT_FLOAT_EQ(r223.z, 0.04f);
    EXPECT_FLOAT_EQ(r223.w, -0.12f);
    EXPECT_FLOAT_EQ(r218.x, 0.005f);
    EXPECT_FLOAT_EQ(r218.z, (0.005f - 1.0f) * 2.0f);
    EXPECT_FLOAT_EQ(r218.w, (0.01f + 1.0f) * 3.0f);
}

TEST(SceneCellGridTest, CellsCoverTheSceneAndTakeTheRange)
{
    SceneCellGrid grid;
    grid.Build(BoundingBox4(Vector(-10.0f, 0.0f, 0.0f, 1.0f), Vector(10.0f, 5.0f, 7.0f, 1.0f)), 4.0f);
    EXPECT_EQ(grid.GetColumns(), 5u);
    EXPECT_EQ(grid.GetRows(), 2u) << "7 / 4 + 0.5 truncates to 2";
    EXPECT_FLOAT_EQ(grid.GetCell(4, 1).box.min.x, 6.0f);
    EXPECT_FLOAT_EQ(grid.GetCell(4, 1).box.max.x, 10.0f) << "the last column ends at the scene's edge";
    EXPECT_FLOAT_EQ(grid.GetCell(4, 1).box.max.z, 8.0f);
    // A context reaching past the grid's edge: the cells beyond it are passed over.
    for (const auto& [column, row] : {std::pair(-1, 0), std::pair(5, 0), std::pair(0, -1), std::pair(0, 2)})
        grid.Insert(column, row, SceneCellRecord{}), grid.Remove(column, row, nullptr);
    grid.SetRange(-1.0f, 2.0f);
    EXPECT_FLOAT_EQ(grid.GetCell(2, 0).box.min.y, -1.0f);
    EXPECT_FLOAT_EQ(grid.GetBox().max.y, 2.0f);
    grid.Build(BoundingBox4(Vector(0.0f, 0.0f, 0.0f, 1.0f), Vector(1.0f, 1.0f, 1.0f, 1.0f)), 4.0f);
    EXPECT_EQ(grid.GetColumns(), 0u) << "0.25 + 0.5 truncates to no cells";
    grid.Build(BoundingBox4(), 0.0f);
    EXPECT_EQ(grid.GetRows(), 0u);
    int pumps = 0;
    grid.Build(BoundingBox4(), 0.0f, [](void* count) { ++*static_cast<int*>(count); }, &pumps);
    EXPECT_EQ(pumps, 0) << "a grid without cells keeps none of the old ones to free";
}
