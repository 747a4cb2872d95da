// Pictures on a running renderer: the render side of each setter, the batched quad (corner colours,
// texture mapping, extra vector), the direct draw and the plain quad, user images copied into the
// shared textures (and refused when they do not fit), and textures and shaders by name from a
// kit-made data root.
#include "platform/gpu/GpuDevice.h"
#include "platform/steam/Steam.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/jobs/TextureHolder.h"
#include "renderer/resources/ResourceManager.h"
#include "renderer/resources/ResourceTexture.h"
#include "support/RenderDataHarness.h"
#include "support/UIDrawHarness.h"
#include "tools/datakit/TextureFileWriter.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UIPicture.h"
#include "ui/elements/UIRoundedRect.h"

#include <gtest/gtest.h>

namespace
{
const Vector kWhite(1.0f, 1.0f, 1.0f, 1.0f);

void ExpectVector(const Vector& actual, const Vector& expected, const char* what)
{
    EXPECT_FLOAT_EQ(actual.x, expected.x) << what;
    EXPECT_FLOAT_EQ(actual.y, expected.y) << what;
    EXPECT_FLOAT_EQ(actual.z, expected.z) << what;
    EXPECT_FLOAT_EQ(actual.w, expected.w) << what;
}

class UIPictureTest : public UIDrawHarness
{
protected:
    void SetUp() override
    {
        UIDrawHarness::SetUp();
        ASSERT_TRUE(steam::Init());
        m_picture = new UIPicture;
    }
    void TearDown() override
    {
        m_picture->Release();
        m_renderer.SubmitCommands(true);
        steam::Shutdown();
        UIDrawHarness::TearDown();
    }
    void Submit() { m_renderer.SubmitCommands(true); }

    // Renders the picture alone under `matrix` on the render thread; `after` sees the device there.
    void RenderPicture(const Matrix& matrix, const Vector& color,
                       const std::function<void(gpu::GpuDevice&)>& after = nullptr, const Vector* constants = nullptr)
    {
        Submit();
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            renderer.GetDevice()->BeginScene();
            m_logStart = renderer.GetDevice()->GetDrawLog().size();
            m_picture->Render(matrix, color, false, constants);
            if (after)
                after(*renderer.GetDevice());
            renderer.GetDevice()->EndScene();
        });
    }

    // The first pixels of the shared user image texture of a size class, as stored (B, G, R, A).
    std::vector<uint8_t> UserImageBytes(uint32_t sizeClass, uint32_t count)
    {
        std::vector<uint8_t> bytes;
        RunOnRenderThread(m_renderer, [&](NorvexRenderer& renderer) {
            TextureHolder* holder = renderer.GetDeviceManager().GetUIQuadGeometry().GetUserImageTexture(sizeClass);
            auto* texture = static_cast<gpu::GpuTexture*>(holder->GetTexture());
            gpu::LockedRect locked{};
            ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), gpu::kOk);
            const uint8_t* bits = static_cast<const uint8_t*>(locked.bits);
            bytes.assign(bits, bits + count);
            texture->UnlockRect(0);
        });
        return bytes;
    }

    UIPicture* m_picture = nullptr;
};

TEST_F(UIPictureTest, SettersReachTheRenderSideAndBatchIndicesAreClamped)
{
    m_picture->SetTextureMapping(0.5f, 0.25f, 0.125f, 0.75f);
    Submit();
    ExpectVector(m_picture->GetUVSize(), Vector(0.5f, 0.25f, 0, 0), "mapping size");
    ExpectVector(m_picture->GetUVOrigin(), Vector(0.125f, 0.75f, 0, 0), "mapping origin");
    const Vector corners[4] = {Vector(1, 0, 0, 1), Vector(0, 1, 0, 1), Vector(0, 0, 1, 1), Vector(1, 1, 0, 0.5f)};
    m_picture->SetUVSize(Vector(2, 3, 0, 0));
    m_picture->SetUVOrigin(Vector(4, 5, 0, 0));
    m_picture->SetPixelShaderParam(Vector(6, 7, 8, 9));
    m_picture->SetCornerColors(corners);
    Submit();
    ExpectVector(m_picture->GetUVSize(), Vector(2, 3, 0, 0), "UV size");
    ExpectVector(m_picture->GetUVOrigin(), Vector(4, 5, 0, 0), "UV origin");
    ExpectVector(m_picture->GetPixelShaderParam(), Vector(6, 7, 8, 9), "pixel parameter");
    for (uint32_t i = 0; i < 4; ++i)
        ExpectVector(m_picture->GetCornerColor(i), corners[i], "corner colour");

    // A tile is the count's share of the texture, scaled; its origin is the index's share plus the
    // offset. A count of 0 counts as one tile.
    struct TileCase
    {
        uint32_t index[2], count[2];
        Vector scale, offset, size, origin;
    };
    const TileCase tiles[] = {
        {{0, 0}, {1, 1}, Vector(1, 1, 1, 1), Vector(0, 0, 0, 0), Vector(1, 1, 0, 0), Vector(0, 0, 0, 0)},
        {{3, 1}, {4, 2}, Vector(1, 1, 1, 1), Vector(0, 0, 0, 0), Vector(0.25f, 0.5f, 0, 0), Vector(0.75f, 0.5f, 0, 0)},
        {{1, 2}, {2, 4}, Vector(2, 0.5f, 1, 1), Vector(0.125f, -0.5f, 0, 0), Vector(1, 0.125f, 0, 0),
         Vector(0.625f, 0, 0, 0)},
        {{2, 5}, {0, 0}, Vector(1, 1, 1, 1), Vector(0, 0, 0, 0), Vector(1, 1, 0, 0), Vector(2, 5, 0, 0)},
    };
    for (const TileCase& t : tiles)
    {
        m_picture->SetTextureTile(t.index[0], t.index[1], t.count[0], t.count[1], t.scale, t.offset);
        Submit();
        ExpectVector(m_picture->GetUVSize(), t.size, "tile size");
        ExpectVector(m_picture->GetUVOrigin(), t.origin, "tile origin");
    }

    // The gathering channel indexes four batches, so it is clamped like the shader command's index.
    const int32_t channels[][2] = {{2, 2}, {3, 3}, {4, 3}, {99, 3}, {0, 0}, {-1, -1}, {-7, -7}};
    for (const auto& c : channels)
    {
        m_picture->SetRenderGatheringChannel(c[0]);
        Submit();
        EXPECT_EQ(m_picture->GetBatchIndex(), c[1]) << c[0];
    }
}

TEST_F(UIPictureTest, ABatchedPictureQueuesOneQuadWithItsCornerColoursAndMapping)
{
    m_picture->SetSizeXY(40.0f, 20.0f);
    const Vector corners[4] = {Vector(1, 0, 0, 1), Vector(0, 1, 0, 1), Vector(0, 0, 1, 1), Vector(1, 1, 1, 0.5f)};
    m_picture->SetCornerColors(corners);
    m_picture->SetTextureMapping(0.5f, 0.25f, 0.25f, 0.5f);
    m_picture->SetPixelShaderParam(Vector(6, 7, 8, 9));
    m_picture->SetRenderGatheringChannel(2);
    Matrix placed = Matrix::ONE;
    placed.rows[3].Set(10.0f, 30.0f, 0.0f, 1.0f);
    RenderPicture(placed, Vector(0.5f, 1.0f, 1.0f, 0.5f), [&](gpu::GpuDevice&) {
        const UIQuadBatch& batch = GetUIQuadBatch(2);
        ASSERT_EQ(batch.GetQuadCount(), 1u);
        EXPECT_EQ(GetUIQuadBatch(0).GetQuadCount(), 0u);
        const float positions[4][2] = {{10, 30}, {50, 30}, {50, 50}, {10, 50}};
        const float uvs[4][2] = {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.75f, 0.75f}, {0.25f, 0.75f}};
        const float colors[4][4] = {{0.5f, 0, 0, 0.5f}, {0, 1, 0, 0.5f}, {0, 0, 1, 0.5f}, {0.5f, 1, 1, 0.25f}};
        for (uint32_t i = 0; i < 4; ++i)
        {
            const UIVertex& v = batch.GetVertices()[i];
            EXPECT_FLOAT_EQ(v.position[0], positions[i][0]) << i;
            EXPECT_FLOAT_EQ(v.position[1], positions[i][1]) << i;
            EXPECT_FLOAT_EQ(v.uv[0], uvs[i][0]) << i;
            EXPECT_FLOAT_EQ(v.uv[1], uvs[i][1]) << i;
            for (uint32_t k = 0; k < 4; ++k)
                EXPECT_FLOAT_EQ(v.color[k], colors[i][k]) << "corner " << i << " channel " << k;
            EXPECT_FLOAT_EQ(v.extra[3], 9.0f);
        }
        GetUIQuadBatch(2).Reset();
    });
    EXPECT_TRUE(DrawLog().empty()) << "queued, not drawn";
}

TEST_F(UIPictureTest, WithoutABatchOrTextureAPictureIsAPlainQuadOfBatchZero)
{
    m_picture->SetSizeXY(8.0f, 4.0f);
    m_picture->SetUVSize(Vector(3, 3, 0, 0));
    RenderPicture(Matrix::ONE, kWhite, [&](gpu::GpuDevice&) {
        const UIQuadBatch& batch = GetUIQuadBatch(0);
        ASSERT_EQ(batch.GetQuadCount(), 1u);
        EXPECT_FLOAT_EQ(batch.GetVertices()[2].uv[0], 1.0f) << "the plain quad ignores the picture's mapping";
        EXPECT_FLOAT_EQ(batch.GetVertices()[2].position[0], 8.0f);
        GetUIQuadBatch(0).Reset();
    });
}

TEST_F(UIPictureTest, UserImagesAreCopiedSwappedIntoTheSharedTextureOfTheirSizeClass)
{
    std::vector<uint8_t> rgba(64 * 64 * 4, 0);
    for (uint32_t i = 0; i < 8; ++i)
        rgba[i] = uint8_t(10 + i); // pixels 0 and 1: R G B A = 10 11 12 13, 14 15 16 17
    rgba[63 * 64 * 4 + 2] = 9;     // the last row starts with blue 9
    steam::SetTestImage(7, 64, 64, rgba);
    const uint64_t before = UICommand::GetWrittenCount();
    m_picture->SetSteamTexture(0, 7);
    EXPECT_EQ(UICommand::GetWrittenCount(), before + 1);
    m_picture->SetSteamTexture(0, 7);
    EXPECT_EQ(UICommand::GetWrittenCount(), before + 1) << "the pair already shown sends nothing";
    Submit();
    EXPECT_EQ(UserImageBytes(0, 8), (std::vector<uint8_t>{12, 11, 10, 13, 16, 15, 14, 17}));
    EXPECT_EQ(UserImageBytes(0, 63 * 64 * 4 + 1).back(), 9) << "each row, the last too, from its own place";
    TextureHolder* const small = m_renderer.GetDeviceManager().GetUIQuadGeometry().GetUserImageTexture(0);
    EXPECT_EQ(m_picture->GetRenderTexture(0), small);
    EXPECT_EQ(m_picture->GetSamplerPreset(0), UIPicture::kUserImageSamplerPreset);
    EXPECT_EQ(small->GetReferenceCount(), 2u) << "the picture counts its own reference";
    EXPECT_EQ(m_picture->GetSteamSizeClass(), 0);
    EXPECT_EQ(m_picture->GetSteamImage(), 7);

    // Images that do not fill the texture's rows, or that are taller than it, are not copied.
    const uint32_t refused[][3] = {{8, 32, 32}, {9, 128, 129}, {10, 64, 65}};
    for (const auto& r : refused)
    {
        steam::SetTestImage(int32_t(r[0]), r[1], r[2], std::vector<uint8_t>(size_t(r[1]) * r[2] * 4, 0xEE));
        m_picture->SetSteamTexture(r[0] == 9 ? 1 : 0, int32_t(r[0]));
        Submit();
        EXPECT_EQ(m_picture->GetRenderTexture(0), small) << "image " << r[0];
        EXPECT_EQ(UserImageBytes(0, 4), (std::vector<uint8_t>{12, 11, 10, 13})) << "image " << r[0];
    }
    EXPECT_TRUE(m_log.Contains("does not fit the 64x64 texture"));
    EXPECT_TRUE(m_log.Contains("does not fit the 128x128 texture"));
    const uint64_t unknown = UICommand::GetWrittenCount();
    m_picture->SetSteamTexture(0, 99);
    EXPECT_EQ(UICommand::GetWrittenCount(), unknown) << "an image the service cannot read sends nothing";
    EXPECT_EQ(m_picture->GetSteamImage(), 99);
    steam::SetTestImage(0, 64, 2, rgba);
    m_picture->SetSteamTexture(1, 0);
    EXPECT_EQ(UICommand::GetWrittenCount(), unknown) << "image 0 is no image, even where the service has one";
    m_picture->SetSteamTexture(0, 7);
    m_picture->SetTexture("none", 0, 0);
    EXPECT_EQ(std::make_pair(m_picture->GetSteamSizeClass(), m_picture->GetSteamImage()), std::make_pair(-1, 0));
    steam::SetTestImage(7, 0, 0, {});
}

TEST_F(UIPictureTest, ATexturedPictureWithoutABatchDrawsTheUnitQuadDirectly)
{
    steam::SetTestImage(3, 64, 1, std::vector<uint8_t>(256, 0x80));
    m_picture->SetSteamTexture(1, 3);
    m_picture->SetSteamTexture(0, 3);
    m_picture->SetSizeXY(20.0f, 10.0f);
    m_picture->SetTextureMapping(0.5f, 0.25f, 0.125f, 0.0625f);
    m_picture->SetPixelShaderParam(Vector(1, 2, 3, 4));
    SetUIShader(UIPicture::kDefaultShaderIndex, m_vertex, m_pixel);
    const Vector fade[3] = {Vector(1, 0, 0, 0), Vector(0, 1, 0, 0), Vector(-5, -0.5f, 2, 0)};
    RenderPicture(Matrix::ONE, kWhite, [&](gpu::GpuDevice& device) {
        float uv[8] = {}, parameter[4] = {}, fadeParameter[4] = {};
        device.GetPixelShaderConstantF(3, fadeParameter, 1);
        EXPECT_EQ(fadeParameter[1], -0.5f) << "a fading parent's constants reach the direct draw";
        device.GetVertexShaderConstantF(UIPicture::kUVSizeRegister, uv, 2);
        device.GetPixelShaderConstantF(UIPicture::kPixelParamRegister, parameter, 1);
        EXPECT_EQ(uv[0], 0.5f);
        EXPECT_EQ(uv[5], 0.0625f);
        EXPECT_EQ(parameter[3], 4.0f);
    }, fade);
    SetUIShader(UIPicture::kDefaultShaderIndex, nullptr, nullptr);
    const auto draws = DrawLog();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].primitiveType, gpu::kPrimitiveTriangleFan);
    EXPECT_EQ(draws[0].primitiveCount, 2u);
    EXPECT_EQ(draws[0].renderStates[gpu::kRsCullMode], gpu::kCullCounterClockwise) << "camera and picture unmirrored";
    EXPECT_EQ(draws[0].renderStates[gpu::kRsZFunc], gpu::kCmpAlways);
    EXPECT_EQ(draws[0].textureIds[0],
              m_renderer.GetDeviceManager().GetUIQuadGeometry().GetUserImageTexture(0)->GetTexture()->GetId());
    EXPECT_EQ(draws[0].streams[0].stride, UIQuadGeometry::kUnitQuadStride);
}

// Textures and shaders by name need the resource manager and the project's shaders.
class UIPictureResourceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DataRoot data;
        TextureFileSpec spec;
        spec.width = 4;
        spec.height = 4;
        spec.texel = [](uint32_t, uint32_t, uint32_t, uint32_t) { return 0xFFFFFFFFu; };
        std::string white;
        ASSERT_TRUE(BuildTextureFile(spec, white));
        data.AddFile("textures", "UI/white.texture", white);
        ASSERT_TRUE(m_harness.WriteAndMount(data));
        ASSERT_TRUE(m_harness.Start());
        ASSERT_TRUE(gShaderManager.Init(true));
    }
    void TearDown() override { m_harness.Stop(); }

    ConsoleCapture m_log;
    RenderDataHarness m_harness;
};

TEST_F(UIPictureResourceTest, TexturesAndShadersByNameReachTheRenderSideOnlyWhenTheyLoad)
{
    NorvexRenderer& renderer = m_harness.GetRenderer();
    UIPicture* picture = new UIPicture;
    picture->SetTexture("UI/white.dds", 1, 5);
    picture->SetTexture("UI/white.dds", 2, 5);
    renderer.SubmitCommands(true);
    ASSERT_NE(picture->GetTextureResource(1), nullptr);
    EXPECT_EQ(picture->GetTextureResource(0), nullptr) << "stage 2 does not exist";
    auto* const resource = dynamic_cast<ResourceTexture*>(picture->GetTextureResource(1));
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(picture->GetRenderTexture(1), resource->GetTextureHolder());
    EXPECT_EQ(picture->GetSamplerPreset(1), 5u);
    EXPECT_EQ(resource->GetTextureHolder()->GetReferenceCount(), 2u);

    picture->SetShader("iPhoneUI", "NO_TEXTURE", 6, true);
    picture->SetShader("NoSuchFamily", "A B", 1, false);
    renderer.SubmitCommands(true);
    EXPECT_TRUE(m_log.Contains("Unable to load shader NoSuchFamily with option string: A B"));
    EXPECT_EQ(picture->GetBatchIndex(), 3) << "the failed pair leaves the loaded one and its batch";
    EXPECT_TRUE(picture->GetFlushAfter());
    EXPECT_NE(picture->GetVertexShader(), nullptr);
    EXPECT_NE(picture->GetPixelShader(), nullptr);
    Resource* shaders[2] = {};
    ASSERT_TRUE(gShaderManager.GetShader("iPhoneUI", "NO_TEXTURE", &shaders[0], &shaders[1], 1, true, 0));
    size_t draws = 0;
    RunOnRenderThread(renderer, [&](NorvexRenderer& r) {
        r.GetDevice()->BeginScene();
        const size_t start = r.GetDevice()->GetDrawLog().size();
        picture->Render(Matrix::ONE, Vector(1, 1, 1, 1), false, nullptr);
        draws = r.GetDevice()->GetDrawLog().size() - start;
        EXPECT_EQ(GetUIQuadBatch(3).GetQuadCount(), 0u) << "flushed right after the picture";
        r.GetDevice()->EndScene();
        GetUIQuadBatch(3).Reset();
        r.SetVertexShader(nullptr);
        r.SetPixelShader(nullptr);
        r.SetTexture(1, nullptr, 0);
    });
    EXPECT_EQ(draws, 1u);
    // Resource flags reach the textures of every picture below the element they are given to.
    UIElement* const parent = new UIElement;
    parent->AddChild(picture);
    EXPECT_EQ(resource->GetFlags() & UIElement::kReleaseResourceFlags, 0u);
    parent->ReleaseResourcesRecursive();
    EXPECT_EQ(resource->GetFlags() & UIElement::kReleaseResourceFlags, UIElement::kReleaseResourceFlags);
    parent->Release();
    renderer.SubmitCommands(true);
    EXPECT_EQ(resource->GetReferenceCount(), 0) << "removal releases the texture resource";
    EXPECT_EQ(resource->GetTextureHolder()->GetReferenceCount(), 1u) << "deletion drops the render side's reference";
    for (Resource* shader : shaders)
    {
        EXPECT_EQ(shader->GetReferenceCount(), 2) << "removal leaves the shader manager's and the test's own";
        shader->Release();
    }
}

TEST_F(UIPictureResourceTest, OnlyTheLastPartOfARoundedRectangleFlushesItsBatch)
{
    UIRoundedRect* const rect = new UIRoundedRect("NO_TEXTURE", true);
    m_harness.GetRenderer().SubmitCommands(true);
    for (uint32_t i = 0; i < UIRoundedRect::kPartCount; ++i)
        EXPECT_EQ(rect->GetPart(i)->GetFlushAfter(), i == UIRoundedRect::kPartCount - 1) << i;
    rect->Release();
    m_harness.GetRenderer().SubmitCommands(true);
}
} // namespace
