// ctest-labels: thread
// The presenter thread: presents handed over by the render thread, its bounded wait for the GPU
// query (a query that never finishes is logged and the wait ends), device-loss notices, and a run
// with the game, resource, render and presenter threads all busy at once.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/NorvexRendererPresenterThread.h"
#include "renderer/jobs/RendererJobs.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTemplate.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace
{
int gWindow;

// A presenter on a device of its own, made on the test thread.
class PresenterThreadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gpu::Faults().Clear();
        m_factory = gpu::CreateFactory(gpu::kSdkVersion);
        ASSERT_NE(m_factory, nullptr);
        gpu::PresentParameters params = {};
        params.backBufferWidth = 64;
        params.backBufferHeight = 32;
        params.windowed = 1;
        params.swapEffect = gpu::kSwapEffectDiscard;
        ASSERT_EQ(m_factory->CreateDevice(gpu::kAdapterDefault, gpu::kDeviceTypeHal, nullptr, 0x54, &params, &m_device),
                  gpu::kOk);
        ASSERT_EQ(m_device->CreateQuery(gpu::kQueryEvent, &m_query), gpu::kOk);
        ASSERT_TRUE(m_presenter.Start());
    }
    void TearDown() override
    {
        m_presenter.Stop();
        gpu::Faults().Clear();
        gpu::SafeRelease(m_query);
        gpu::SafeRelease(m_device);
        gpu::SafeRelease(m_factory);
        EXPECT_EQ(gpu::LiveObjectTotal(), 0u);
    }

    ConsoleCapture m_log;
    gpu::GpuFactory* m_factory = nullptr;
    gpu::GpuDevice* m_device = nullptr;
    gpu::GpuQuery* m_query = nullptr;
    NorvexRendererPresenterThread m_presenter;
};

TEST_F(PresenterThreadTest, PresentsAndWaitsForTheQuery)
{
    gpu::Faults().DelayQueries(3);
    ASSERT_TRUE(m_presenter.PresentAsync(0.0f, m_device, m_query));
    ASSERT_TRUE(m_presenter.PresentAsync(0.0f, m_device, nullptr));
    m_presenter.Flush();
    EXPECT_TRUE(m_presenter.IsIdle());
    EXPECT_EQ(m_presenter.GetPresentsCompleted(), 2u);
    EXPECT_EQ(m_device->GetPresentCount(), 2u);
    EXPECT_EQ(m_query->GetPollCount(), 4u) << "three answers of not ready, then done";
    EXPECT_EQ(m_presenter.GetQueryTimeouts(), 0u);
    EXPECT_FALSE(m_log.Contains("has not finished"));
    EXPECT_FALSE(m_presenter.TakeDeviceLost());
}

TEST_F(PresenterThreadTest, QueryThatNeverFinishesEndsTheWaitWithAWarning)
{
    m_presenter.SetQueryWaitLimitMs(30);
    gpu::Faults().DelayQueries(1000000);
    ASSERT_TRUE(m_presenter.PresentAsync(0.0f, m_device, m_query));
    m_presenter.Flush();
    EXPECT_TRUE(m_presenter.IsIdle()) << "the present counts done although the GPU never answered";
    EXPECT_EQ(m_presenter.GetQueryTimeouts(), 1u);
    EXPECT_TRUE(m_log.Contains("PresenterThread: the GPU has not finished the frame after 30 ms", CONSOLE_WARNING));
    EXPECT_GT(m_query->GetPollCount(), 1u);
    EXPECT_LT(m_query->GetPollCount(), 100u) << "a poll a millisecond at most, for 30 ms";
}

TEST_F(PresenterThreadTest, PresentsAreSpacedByTheInterval)
{
    // Measured on the presenter's own clock readings, so a loaded machine cannot shorten the gap.
    ASSERT_TRUE(m_presenter.PresentAsync(0.0f, m_device, nullptr));
    m_presenter.Flush();
    const Time first = m_presenter.GetLastPresentTime();
    ASSERT_TRUE(m_presenter.PresentAsync(0.05f, m_device, nullptr));
    m_presenter.Flush();
    // The sleep is whole milliseconds, rounded down.
    EXPECT_GE((m_presenter.GetLastPresentTime() - first).ToMilliseconds(), 49.0);
}

TEST_F(PresenterThreadTest, DeviceLossIsNoticedOnceUntilTaken)
{
    gpu::Faults().LoseDeviceOnPresent(0, 0);
    ASSERT_TRUE(m_presenter.PresentAsync(0.0f, m_device, nullptr));
    ASSERT_TRUE(m_presenter.PresentAsync(0.0f, m_device, nullptr));
    m_presenter.Flush();
    EXPECT_TRUE(m_presenter.TakeDeviceLost());
    EXPECT_FALSE(m_presenter.TakeDeviceLost()) << "a second lost present while one notice is pending adds none";
    m_presenter.Stop();
    EXPECT_FALSE(m_presenter.PresentAsync(0.0f, m_device, nullptr)) << "nothing is queued for a stopped thread";
    EXPECT_TRUE(m_presenter.IsIdle());
}

TEST(PresenterThreadLifecycleTest, RendererRunsItWhileTheDeviceExists)
{
    ConsoleCapture log;
    NorvexRenderer renderer;
    ASSERT_TRUE(renderer.Init(&gWindow, false));
    EXPECT_TRUE(renderer.GetPresenter().IsRunning());
    EXPECT_STREQ(renderer.GetPresenter().GetName(), "PresenterThread");
    renderer.Close();
    EXPECT_FALSE(renderer.GetPresenter().IsRunning());
    EXPECT_EQ(gpu::LiveObjectTotal(), 0u);
}

// A template whose load makes a vertex buffer through a waited renderer job.
class BufferTemplate : public ResourceTemplate
{
    RTTI_DECLARE_CLASS(BufferTemplate, ResourceTemplate)

public:
    static constexpr uint32_t kTypeId = 301;
    bool DoLoad() override
    {
        const std::vector<uint8_t> data(96, 1);
        NorvexRendererVertexBufferCreationJob job(96, 0, gpu::kFvfXyz, gpu::kPoolManaged, data.data(), false);
        if (!PostRendererJob(&job, true))
            return false;
        gpu::GpuVertexBuffer* const buffer = job.TakeBuffer();
        if (buffer == nullptr)
            return false;
        buffer->Release();
        return true;
    }
};
RTTI_DEFINE_CLASS(BufferTemplate, ResourceTemplate)
void BufferTemplate::BuildClassProperties(RTTIPropertiesBase&) {}

TEST(PresenterThreadBusyTest, GameResourceRenderAndPresenterThreadsTogether)
{
    ConsoleCapture log;
    gpu::Faults().Clear();
    NorvexRenderer renderer;
    ASSERT_TRUE(renderer.Init(&gWindow, false));
    BufferTemplate::RegisterRTTIClass();
    TemplateTypeRegistry::GetInstance().RegisterType(BufferTemplate::kTypeId, 0, "BufferTemplate");
    ResourceManager manager;
    ASSERT_TRUE(manager.Init());

    // The presenter presents frames of a device of its own, so that the two devices' threads stay apart.
    gpu::GpuFactory* factory = gpu::CreateFactory(gpu::kSdkVersion);
    gpu::PresentParameters params = {};
    params.windowed = 1;
    params.swapEffect = gpu::kSwapEffectDiscard;
    gpu::GpuDevice* presentDevice = nullptr;
    ASSERT_EQ(factory->CreateDevice(0, gpu::kDeviceTypeHal, nullptr, 0x54, &params, &presentDevice), gpu::kOk);
    gpu::GpuQuery* query = nullptr;
    ASSERT_EQ(presentDevice->CreateQuery(gpu::kQueryEvent, &query), gpu::kOk);
    NorvexRendererPresenterThread& presenter = renderer.GetPresenter();

    struct Shared
    {
        gpu::GpuDevice* device;
        gpu::GpuQuery* query;
        std::atomic<int> presents{0};
    } shared{presentDevice, query};
    // On the render thread, as its loading frames do: one present at a time.
    const RenderCallFunction handPresent = [](NorvexRenderer& r, uint32_t, CommandRingBuffer& reader) {
        Shared* s = nullptr;
        reader.Read(&s, sizeof(s));
        if (r.GetPresenter().IsIdle() && r.GetPresenter().PresentAsync(0.001f, s->device, s->query))
            ++s->presents;
    };
    Shared* const sharedPointer = &shared;

    std::vector<Resource*> resources;
    for (int i = 0; i < 12; ++i)
    {
        Resource* resource = manager.GetResource(RESOURCE_TYPE_TEMPLATE, ("busy/" + std::to_string(i)).c_str(),
                                                 BufferTemplate::kTypeId, true, 0);
        ASSERT_NE(resource, nullptr);
        resource->RequestLoad();
        resources.push_back(resource);
    }
    // The game thread keeps writing frames meanwhile.
    for (int frame = 0; frame < 40; ++frame)
    {
        renderer.SetFrameTarget(nullptr, 0, 1);
        renderer.Clear(gpu::kClearTarget, Vector(0.0f, 0.0f, 1.0f, 1.0f), 1.0f, 0);
        renderer.UpscaleFinal();
        if (renderer.WriteCall(handPresent, 0, sizeof(sharedPointer)))
            renderer.GetWriter().Put(sharedPointer);
        renderer.Present();
        renderer.SubmitFrameSection(2);
    }
    for (Resource* resource : resources)
    {
        resource->WaitUntilLoaded(true);
        EXPECT_TRUE(resource->IsLoaded()) << resource->GetName();
        resource->Release();
    }
    renderer.SubmitCommands(true);
    EXPECT_GT(shared.presents.load(), 0);
    EXPECT_TRUE(presenter.IsIdle());

    manager.Close();
    renderer.Close();
    gpu::SafeRelease(query);
    gpu::SafeRelease(presentDevice);
    gpu::SafeRelease(factory);
    EXPECT_EQ(presentDevice, nullptr);
    EXPECT_FALSE(log.Contains("was inside the device"));
    EXPECT_EQ(gpu::LiveObjectTotal(), 0u);
}
} // namespace
