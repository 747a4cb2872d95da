// ctest-labels: thread
// The texture descriptor container keeps its record whole against a thread that holds its lock:
// neither a read nor a write of it runs while someone else looks at the descriptors.
#include "renderer/resources/ResourceTextureDescriptor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

TEST(ResourceTextureDescriptorTest, ReadsAndWritesWaitForTheContainersLock)
{
    ResourceTextureDescriptorContainer source;
    ResourceTextureDescriptor descriptor;
    descriptor.m_name = NameString("ui/button");
    descriptor.m_alphaMode = 2;
    source.m_descriptors.Add(descriptor);
    std::vector<uint8_t> record(source.SerializeToMemory(nullptr, 0, 0));
    ASSERT_EQ(source.SerializeToMemory(record.data(), record.size(), 0), record.size());

    ResourceTextureDescriptorContainer container;
    for (const bool reading : {true, false})
    {
        SCOPED_TRACE(reading ? "read" : "write");
        std::atomic<bool> done{false};
        container.GetLock().Enter();
        std::thread worker([&] {
            std::vector<uint8_t> written(record.size());
            if (reading)
                container.DeserializeFromMemory(record.data(), record.size(), 0);
            else
                container.SerializeToMemory(written.data(), written.size(), 0);
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(done) << "it ran while the lock was held";
        container.GetLock().Leave();
        worker.join();
        EXPECT_TRUE(done);
    }
    ASSERT_EQ(container.m_descriptors.Count(), 1);
    EXPECT_STREQ(container.m_descriptors[0].m_name.CStr(), "ui/button");
    EXPECT_EQ(container.m_descriptors[0].m_alphaMode, 2);
}
