// A renderer running on the graphics stand-in with a small 320x240 desktop, for tests that drive
// the render thread. Closing it after each test must leave no device object alive.
#pragma once

#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

class RendererTestBase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gpu::Faults().Clear();
        gpu::DisplayConfig config = gpu::DefaultDisplayConfig();
        config.desktopWidth = 320;
        config.desktopHeight = 240;
        gpu::SetDisplayConfig(config);
        ASSERT_TRUE(m_renderer.Init(&m_window, false));
    }

    void TearDown() override
    {
        m_renderer.Close();
        gpu::Faults().Clear();
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
        EXPECT_EQ(gpu::LiveObjectTotal(), 0u) << "closing must leave no device object alive";
    }

    int m_window = 0; // stands for a window handle
    ConsoleCapture m_log;
    NorvexRenderer m_renderer;
};
