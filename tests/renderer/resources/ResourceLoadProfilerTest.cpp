// ctest-labels: thread
// The resource thread's loads are timed on the profiler's "ResourceLoading" channel.
#include "core/filesystem/FileSystem.h"
#include "engine/profiler/Profiler.h"
#include "platform/os/Clock.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "support/ResourceTestTemplate.h"
#include "support/RendererTestBase.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace
{
class ResourceLoadProfilerTest : public RendererTestBase
{
protected:
    void SetUp() override
    {
        RendererTestBase::SetUp();
        ResourceTestTemplate::Reset();
        ResourceTestTemplate::RegisterRTTIClass();
        TemplateTypeRegistry::GetInstance().RegisterType(ResourceTestTemplate::kTypeId, 0, "ResourceTestTemplate");
        ASSERT_TRUE(gFileSystem.MountDirectory("scenes", m_folder.Path().c_str()));
        ASSERT_TRUE(m_manager.Init());
        m_mask.Set(PROFILER_RESOURCE_LOADING, true);
        gProfiler.Init(&m_mask);
        m_renderer.SubmitCommands(true);
    }
    void TearDown() override
    {
        os::DisableManualCounter();
        ResourceTestTemplate::s_gate.Set();
        gProfiler.EnableProfiler(nullptr, false);
        m_renderer.SubmitCommands(true);
        gProfiler.Close();
        m_manager.Close();
        gFileSystem.UnmountAll();
        RendererTestBase::TearDown();
    }

    Profiler::Mask m_mask;
    TempFolder m_folder;
    ResourceManager m_manager;
};
} // namespace

TEST_F(ResourceLoadProfilerTest, AQueuedLoadIsTimedFromItsStartToItsEnd)
{
    Resource* resource =
        m_manager.GetResource(RESOURCE_TYPE_TEMPLATE, "gate/slow", ResourceTestTemplate::kTypeId, true, 0);
    ASSERT_NE(resource, nullptr);
    os::EnableManualCounter(0);
    resource->RequestLoad();
    for (int i = 0; i < 500 && ResourceTestTemplate::s_gateWaiters.load() < 1; ++i)
        os::Sleep(10);
    ASSERT_EQ(ResourceTestTemplate::s_gateWaiters.load(), 1);
    os::AdvanceManualCounter(os::kCounterFrequency / 40); // 25 ms while the load waits at its gate
    ResourceTestTemplate::s_gate.Set();
    m_manager.Flush();
    os::DisableManualCounter();
    EXPECT_TRUE(resource->IsLoaded());
    resource->Release();

    gProfiler.Render(320, 240);
    m_renderer.SubmitCommands(true);
    ASSERT_EQ(gProfiler.GetSampleCount(PROFILER_RESOURCE_LOADING), 1u);
    EXPECT_NEAR(gProfiler.GetRawSample(PROFILER_RESOURCE_LOADING, 0), 25.0f, 1e-3f);
}
