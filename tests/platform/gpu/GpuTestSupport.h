// A device on the default adapter for the graphics stand-in tests, and a capture of its log lines.
#pragma once

#include "platform/gpu/Gpu.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

class GpuLogCapture
{
public:
    GpuLogCapture()
    {
        Lines().clear();
        gpu::SetLogHandler(&Handle);
    }
    ~GpuLogCapture() { gpu::SetLogHandler(nullptr); }

    bool Contains(const std::string& fragment) const
    {
        std::lock_guard<std::mutex> lock(Mutex());
        for (const std::string& line : Lines())
            if (line.find(fragment) != std::string::npos)
                return true;
        return false;
    }
    size_t Count() const
    {
        std::lock_guard<std::mutex> lock(Mutex());
        return Lines().size();
    }

private:
    static void Handle(gpu::LogLevel, const char* text)
    {
        std::lock_guard<std::mutex> lock(Mutex());
        Lines().push_back(text);
    }
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> lines;
        return lines;
    }
};

class GpuDeviceFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gpu::Faults().Clear();
        gpu::SetDisplayConfig(gpu::DefaultDisplayConfig());
        m_factory = gpu::CreateFactory(gpu::kSdkVersion);
        ASSERT_NE(m_factory, nullptr);
        m_params = {};
        m_params.backBufferWidth = 64;
        m_params.backBufferHeight = 32;
        m_params.windowed = 1;
        m_params.swapEffect = gpu::kSwapEffectDiscard;
        m_params.enableAutoDepthStencil = 1;
        m_params.autoDepthStencilFormat = gpu::kFormatD24S8;
        ASSERT_EQ(m_factory->CreateDevice(gpu::kAdapterDefault, gpu::kDeviceTypeHal, nullptr, 0x54, &m_params,
                                          &m_device),
                  gpu::kOk);
    }

    void TearDown() override
    {
        gpu::SafeRelease(m_device);
        gpu::SafeRelease(m_factory);
        gpu::Faults().Clear();
        EXPECT_EQ(gpu::LiveObjectTotal(), 0u) << "a test leaked stand-in objects";
    }

    gpu::GpuSurface* BackBuffer()
    {
        gpu::GpuSurface* surface = nullptr;
        EXPECT_EQ(m_device->GetBackBuffer(0, 0, &surface), gpu::kOk);
        surface->Release(); // the swap chain keeps it alive
        return surface;
    }

    GpuLogCapture m_log;
    gpu::GpuFactory* m_factory = nullptr;
    gpu::GpuDevice* m_device = nullptr;
    gpu::PresentParameters m_params{};
};
