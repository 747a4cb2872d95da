// ctest-labels: thread
// Read-back jobs on a running renderer over the graphics stand-in: buffers and declarations made by
// the creation jobs come back byte for byte to another thread; failures leave no copy and never hold
// the waiter.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/jobs/NorvexRendererBufferSerializationJob.h"
#include "renderer/jobs/NorvexRendererVertexDeclarationSerializationJob.h"
#include "renderer/jobs/RendererJobs.h"
#include "support/ConsoleCapture.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace
{
class RendererSerializationJobsTest : public RendererTestBase
{
protected:

    static gpu::GpuVertexBuffer* MakeVertexBuffer(const std::vector<uint8_t>& bytes)
    {
        NorvexRendererVertexBufferCreationJob job(uint32_t(bytes.size()), 0, 0x2, gpu::kPoolManaged, bytes.data(),
                                                  false);
        PostRendererJob(&job, true);
        return job.TakeBuffer();
    }
};

std::vector<uint8_t> Pattern(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(seed + i * 7);
    return bytes;
}

TEST_F(RendererSerializationJobsTest, CreatedObjectsReadBackByteForByte)
{
    const std::vector<uint8_t> vertices = Pattern(36, 3);
    const uint32_t indices[] = {0, 1, 2, 2, 1, 70000};
    const gpu::VertexElement elements[] = {{0, 0, gpu::kDeclFloat3, 0, gpu::kDeclUsagePosition, 0},
                                           {0, 12, gpu::kDeclColor, 0, gpu::kDeclUsageColor, 0},
                                           {1, 0, gpu::kDeclFloat2, 0, gpu::kDeclUsageTexCoord, 1},
                                           gpu::kDeclEnd};
    gpu::GpuVertexBuffer* vb = nullptr;
    gpu::GpuIndexBuffer* ib = nullptr;
    gpu::GpuVertexDeclaration* declaration = nullptr;
    std::thread poster([&] {
        vb = MakeVertexBuffer(vertices);
        NorvexRendererIndexBufferCreationJob indexJob(sizeof(indices), 0, gpu::kFormatIndex32, gpu::kPoolDefault,
                                                      indices, false);
        PostRendererJob(&indexJob, true);
        ib = indexJob.TakeBuffer();
        NorvexRendererVertexDeclarationCreationJob declarationJob(elements, 4);
        PostRendererJob(&declarationJob, true);
        declaration = declarationJob.TakeDeclaration();
        ASSERT_NE(vb, nullptr);
        ASSERT_NE(ib, nullptr);
        ASSERT_NE(declaration, nullptr);

        NorvexRendererVertexBufferSerializationJob vertexRead(vb);
        EXPECT_TRUE(PostRendererJob(&vertexRead, true));
        ASSERT_EQ(vertexRead.GetDataSize(), vertices.size());
        EXPECT_EQ(std::memcmp(vertexRead.GetData(), vertices.data(), vertices.size()), 0);
        EXPECT_EQ(vertexRead.GetDescription().size, vertices.size());
        EXPECT_EQ(vertexRead.GetDescription().fvf, 0x2u);

        NorvexRendererIndexBufferSerializationJob indexRead(ib);
        EXPECT_TRUE(PostRendererJob(&indexRead, true));
        ASSERT_EQ(indexRead.GetDataSize(), sizeof(indices));
        EXPECT_EQ(std::memcmp(indexRead.GetData(), indices, sizeof(indices)), 0);
        EXPECT_EQ(indexRead.GetDescription().format, gpu::kFormatIndex32);
        EXPECT_EQ(indexRead.GetDescription().pool, gpu::kPoolDefault);

        NorvexRendererVertexDeclarationSerializationJob declarationRead(declaration);
        EXPECT_TRUE(PostRendererJob(&declarationRead, true));
        ASSERT_EQ(declarationRead.GetElementCount(), 4u);
        ASSERT_EQ(declarationRead.GetDataSize(), 4u * 8u);
        EXPECT_EQ(std::memcmp(declarationRead.GetData(), elements, sizeof(elements)), 0);

        // A done job may be posted again: it reads afresh and the first copy is not leaked.
        EXPECT_TRUE(PostRendererJob(&vertexRead, true));
        EXPECT_EQ(vertexRead.GetDataSize(), vertices.size());
    });
    poster.join();
    if (vb != nullptr)
        vb->Release();
    if (ib != nullptr)
        ib->Release();
    if (declaration != nullptr)
        declaration->Release();
}

TEST_F(RendererSerializationJobsTest, FailedReadLeavesNoCopyAndReleasesTheWaiter)
{
    gpu::GpuVertexBuffer* vb = nullptr;
    std::thread([&] { vb = MakeVertexBuffer(Pattern(16, 1)); }).join();
    ASSERT_NE(vb, nullptr);
    std::thread([&] {
        NorvexRendererVertexBufferSerializationJob job(vb);
        EXPECT_EQ(job.GetDataSize(), 0u);
        EXPECT_TRUE(PostRendererJob(&job, true));
        EXPECT_EQ(job.GetDataSize(), 16u);
        // The stand-in allows one lock at a time, so a buffer already locked refuses the job's
        // lock; the copy of the read before goes.
        void* bytes = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, &bytes, 0), gpu::kOk);
        EXPECT_TRUE(PostRendererJob(&job, true));
        EXPECT_EQ(job.GetData(), nullptr);
        EXPECT_EQ(job.GetDataSize(), 0u);

        NorvexRendererIndexBufferSerializationJob noBuffer(nullptr);
        EXPECT_TRUE(PostRendererJob(&noBuffer, true));
        EXPECT_EQ(noBuffer.GetData(), nullptr);
        // On the heap, whose fresh bytes the sanitizer fills: a job with no buffer still reports an
        // empty description, never stale bytes a caller would size a copy by.
        auto noVertices = std::make_unique<NorvexRendererVertexBufferSerializationJob>(nullptr);
        EXPECT_TRUE(PostRendererJob(noVertices.get(), true));
        EXPECT_EQ(noVertices->GetDescription().size, 0u);
        NorvexRendererVertexDeclarationSerializationJob noDeclaration(nullptr);
        EXPECT_TRUE(PostRendererJob(&noDeclaration, true));
        EXPECT_EQ(noDeclaration.GetData(), nullptr);
        EXPECT_EQ(noDeclaration.GetElementCount(), 0u);
    }).join();
    EXPECT_TRUE(m_log.Contains("Buffer serialization job: the buffer could not be locked", CONSOLE_WARNING));
    vb->Unlock();
    vb->Release();
}

TEST_F(RendererSerializationJobsTest, DestroyingAPostedJobWaitsBeforeFreeingItsCopy)
{
    gpu::GpuVertexBuffer* vb = nullptr;
    std::thread([&] {
        vb = MakeVertexBuffer(Pattern(4096, 9));
        ASSERT_NE(vb, nullptr);
        for (int i = 0; i < 20; ++i)
        {
            // Never waited by hand: the destructor must wait, then free the copy (ASan sees a leak or a
            // write into freed memory otherwise).
            NorvexRendererVertexBufferSerializationJob job(vb);
            EXPECT_TRUE(PostRendererJob(&job, false));
        }
    }).join();
    ASSERT_NE(vb, nullptr);
    vb->Release();
}
} // namespace
