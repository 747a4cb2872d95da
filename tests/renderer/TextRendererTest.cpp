// ctest-labels: thread
// The shared text geometry made with the device: its vertex declaration, the cleared table and the
// quad index list (the UI's own list alike), released with the device objects; and the UI's unit quad.
#include "platform/gpu/Gpu.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/TextRenderer.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/jobs/TextureHolder.h"
#include "support/RenderThreadCall.h"
#include "support/RendererTestBase.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
using TextRendererTest = RendererTestBase;
} // namespace

TEST_F(TextRendererTest, DeviceCreationMakesTheSharedTextGeometry)
{
    TextRenderer& text = m_renderer.GetDeviceManager().GetTextRenderer();
    ASSERT_NE(text.GetDeclaration(), nullptr);
    const std::vector<gpu::VertexElement>& elements = text.GetDeclaration()->Elements();
    ASSERT_EQ(elements.size(), 4u);
    const gpu::VertexElement expected[3] = {
        {0, 0, gpu::kDeclShort2, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
        {0, 4, gpu::kDeclShort2, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 0},
        {0, 8, gpu::kDeclShort4N, gpu::kDeclMethodDefault, gpu::kDeclUsageTexCoord, 1},
    };
    for (uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(&elements[i], &expected[i], sizeof(gpu::VertexElement)), 0) << "element " << i;
    EXPECT_EQ(elements[3].stream, gpu::kDeclEndStream);

    ASSERT_EQ(text.GetTable().size(), 32u * 1024u);
    for (uint8_t byte : text.GetTable())
        ASSERT_EQ(byte, 0);

    gpu::GpuIndexBuffer* const indices = text.GetIndexBuffer();
    ASSERT_NE(indices, nullptr);
    EXPECT_EQ(indices->GetFormat(), gpu::kFormatIndex16);
    ASSERT_EQ(indices->GetSize(), 512u * 6u * 2u);
    uint16_t list[512 * 6];
    std::memcpy(list, indices->Bytes(), sizeof(list));
    for (uint16_t q : {uint16_t(0), uint16_t(1), uint16_t(511)})
    {
        const uint16_t* quad = list + q * 6;
        const uint16_t base = uint16_t(q * 4);
        EXPECT_EQ(quad[0], base);
        EXPECT_EQ(quad[1], base + 1);
        EXPECT_EQ(quad[2], base + 2);
        EXPECT_EQ(quad[3], base);
        EXPECT_EQ(quad[4], base + 2);
        EXPECT_EQ(quad[5], base + 3);
    }
    EXPECT_EQ(std::memcmp(UIQuadGeometry::GetIndices(), list, sizeof(list)), 0);
    // Position and texture coordinate of each corner, down the first edge first.
    const float unitQuad[20] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1, 1, 1, 0, 0, 1, 0};
    gpu::GpuVertexBuffer* const corners = m_renderer.GetDeviceManager().GetUIQuadGeometry().GetUnitQuad();
    ASSERT_NE(corners, nullptr);
    EXPECT_EQ(std::memcmp(corners->Bytes(), unitQuad, sizeof(unitQuad)), 0);
    // Size class 0 shares the small user image texture, every other class the large one.
    for (const auto& [sizeClass, edge] : {std::pair<uint32_t, uint32_t>{0, 64}, {1, 128}, {2, 128}})
    {
        TextureHolder* const image = m_renderer.GetDeviceManager().GetUIQuadGeometry().GetUserImageTexture(sizeClass);
        EXPECT_EQ(static_cast<gpu::GpuTexture*>(image->GetTexture())->GetWidth(), edge) << sizeClass;
    }
}

TEST_F(TextRendererTest, ReleasingTheDeviceObjectsDropsTheTextGeometry)
{
    m_renderer.ReleaseDeviceObjects();
    m_renderer.SubmitCommands(true);
    TextRenderer& text = m_renderer.GetDeviceManager().GetTextRenderer();
    EXPECT_EQ(text.GetDeclaration(), nullptr);
    EXPECT_EQ(text.GetIndexBuffer(), nullptr);
    EXPECT_TRUE(text.GetTable().empty());
}

TEST_F(TextRendererTest, SharedGeometryThatCannotBeMadeIsReportedAndLeavesNothingBehind)
{
    RunOnRenderThread(m_renderer, [&](NorvexRenderer& r) {
        const uint32_t before = gpu::LiveObjectTotal();
        TextRenderer text;
        gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::IndexBuffer);
        EXPECT_FALSE(text.CreateBuffers(r.GetDevice()));
        EXPECT_EQ(text.GetDeclaration(), nullptr);
        UIQuadGeometry quads;
        gpu::Faults().FailResourceCreation(1, gpu::ObjectKind::VertexBuffer);
        EXPECT_FALSE(quads.Create(r.GetDevice()));
        EXPECT_EQ(quads.GetQuadDeclaration(), nullptr);
        EXPECT_EQ(gpu::LiveObjectTotal(), before);
    });
    EXPECT_TRUE(m_log.Contains("TextRenderer: the shared text buffers could not be created", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("UIQuadGeometry: the shared UI geometry could not be created", CONSOLE_ERROR));
}
