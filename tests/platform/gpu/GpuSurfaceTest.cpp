#include "GpuTestSupport.h"

#include <cmath>
#include <cstring>

using namespace gpu;

namespace
{
class GpuSurfaceTest : public GpuDeviceFixture
{
};

// Smallest step of the coarsest channel of each format, as a read-back tolerance.
float Tolerance(Format format)
{
    switch (format)
    {
    case kFormatA4R4G4B4: return 1.0f / 15;
    case kFormatR5G6B5: return 1.0f / 31;
    case kFormatA2R10G10B10: return 1.0f / 3;
    case kFormatG16R16F:
    case kFormatA16B16G16R16F: return 1e-3f;
    default: return 1.0f / 255;
    }
}

void ExpectColor(const Color4f& actual, const Color4f& expected, float tolerance, const char* what)
{
    EXPECT_NEAR(actual.r, expected.r, tolerance) << what;
    EXPECT_NEAR(actual.g, expected.g, tolerance) << what;
    EXPECT_NEAR(actual.b, expected.b, tolerance) << what;
    EXPECT_NEAR(actual.a, expected.a, tolerance) << what;
}

// What a format keeps of a colour (luminance formats keep red, one-channel formats set the rest).
Color4f Kept(Format format, const Color4f& c)
{
    uint8_t pixel[16];
    EncodePixel(*FindFormat(format), c, pixel);
    return DecodePixel(*FindFormat(format), pixel);
}
} // namespace

TEST(GpuFormatTest, HandWrittenBytesDecode)
{
    const uint8_t argb[] = {0x10, 0x20, 0x30, 0x40};
    const uint32_t expected = 0x40302010u;
    EXPECT_EQ(PackArgb(DecodePixel(*FindFormat(kFormatA8R8G8B8), argb)), expected);
    const uint8_t red565[] = {0x00, 0xF8};
    ExpectColor(DecodePixel(*FindFormat(kFormatR5G6B5), red565), {1, 0, 0, 1}, 0, "R5G6B5 red");
    const uint8_t half[] = {0x00, 0x3C, 0x00, 0xC0}; // 1.0, -2.0
    ExpectColor(DecodePixel(*FindFormat(kFormatG16R16F), half), {1, -2, 1, 1}, 0, "G16R16F");
    const uint8_t depth[] = {0x07, 0x00, 0x00, 0x80}; // half depth, stencil 7
    const Color4f d = DecodePixel(*FindFormat(kFormatD24S8), depth);
    EXPECT_NEAR(d.r, 0.5f, 1e-6f);
    EXPECT_EQ(d.g, 7.0f);
    // DXT1: red and blue end points; texel 0 red, texel 1 blue, texel 3 two thirds red.
    const uint8_t dxt1[] = {0x00, 0xF8, 0x1F, 0x00, 0b11000100, 0, 0, 0};
    Color4f block[16];
    DecodeBlock(kFormatDXT1, dxt1, block);
    ExpectColor(block[0], {1, 0, 0, 1}, 0, "DXT1 texel 0");
    ExpectColor(block[1], {0, 0, 1, 1}, 0, "DXT1 texel 1");
    ExpectColor(block[3], {1.0f / 3, 0, 2.0f / 3, 1}, 1e-6f, "DXT1 texel 3");
    // With c0 <= c1 (here equal) index 3 is transparent black.
    const uint8_t dxt1Punch[] = {0x1F, 0x00, 0x1F, 0x00, 0b11, 0, 0, 0};
    DecodeBlock(kFormatDXT1, dxt1Punch, block);
    ExpectColor(block[0], {0, 0, 0, 0}, 0, "DXT1 punch-through");
    // DXT5 alpha: a0 255, a1 0, texel 0 index 5 (three sevenths of a0), texel 1 index 0 (a0), texel 15
    // index 7 (a seventh).
    uint8_t dxt5[16] = {255, 0, 0b00000101, 0, 0, 0, 0, 0b11100000, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    DecodeBlock(kFormatDXT5, dxt5, block);
    EXPECT_FLOAT_EQ(block[0].a, 3.0f / 7);
    EXPECT_FLOAT_EQ(block[15].a, 1.0f / 7);
    EXPECT_EQ(block[1].a, 1.0f);
    EXPECT_EQ(block[1].r, 1.0f);
}

TEST(GpuFormatTest, HalfFloatsRoundTrip)
{
    for (const float v : {0.0f, 1.0f, -1.0f, 0.5f, 65504.0f, 6.1035156e-05f, 3.0e-7f, 1234.5f})
        EXPECT_NEAR(HalfToFloat(FloatToHalf(v)), v, std::fabs(v) * 1e-3f + 1e-7f) << v;
    EXPECT_TRUE(std::isinf(HalfToFloat(FloatToHalf(1e6f))));
    EXPECT_TRUE(std::isnan(HalfToFloat(FloatToHalf(std::nanf("")))));
}

TEST_F(GpuSurfaceTest, EveryColourFormatCreatesLocksLoadsAndReadsBack)
{
    size_t count = 0;
    const FormatInfo* formats = AllFormats(&count);
    const Color4f colours[4] = {{1, 0, 0, 1}, {0, 1, 0, 0.5f}, {0, 0, 1, 0}, {0.25f, 0.5f, 0.75f, 1}};
    for (size_t f = 0; f < count; ++f)
    {
        const FormatInfo& info = formats[f];
        EXPECT_EQ(FindFormat(info.format), &info) << info.name; // the depth formats too
        if (info.kind == FormatKind::Depth)
            continue;
        SCOPED_TRACE(info.name);
        GpuTexture* texture = nullptr;
        ASSERT_EQ(m_device->CreateTexture(8, 8, 0, 0, info.format, kPoolManaged, &texture), kOk);
        EXPECT_EQ(texture->GetLevelCount(), 4u);
        SurfaceDesc desc;
        ASSERT_EQ(texture->GetLevelDesc(2, &desc), kOk);
        EXPECT_EQ((std::pair{desc.width, desc.height}), (std::pair{2u, 2u})) << "the chain halves per level";
        GpuSurface* level = nullptr;
        ASSERT_EQ(texture->GetSurfaceLevel(0, &level), kOk);
        EXPECT_EQ(texture->GetSurfaceLevel(0, nullptr), kErrInvalidCall);
        if (info.kind == FormatKind::Compressed)
        {
            // Blocks load one for one and decode on read-back; colours cannot be compressed.
            std::vector<uint8_t> blocks(size_t(4) * info.blockBytes, 0);
            for (size_t b = 0; b < 4; ++b)
            {
                uint8_t* colour = blocks.data() + b * info.blockBytes + (info.blockBytes == 16 ? 8 : 0);
                colour[1] = 0xF8; // c0 red, c1 black, indices 0 but pixel (1,0)'s
                colour[4] = 0x04;
                if (info.format == kFormatDXT5)
                    blocks[b * 16] = blocks[b * 16 + 1] = 255;
                if (info.format == kFormatDXT3)
                    memset(blocks.data() + b * 16, 0xF0, 8); // odd texels opaque
            }
            EXPECT_EQ(LoadSurfaceFromMemory(level, nullptr, blocks.data(), info.format, 2 * info.blockBytes,
                                            {0, 0, 8, 8}, kLoadFilterNone, 0),
                      kOk);
            ExpectColor(level->ReadPixel(7, 7), {1, 0, 0, 1}, 0, "loaded block");
            ExpectColor(level->ReadPixel(5, 4), {0, 0, 0, 1}, 0, "index 1 of a block's first row");
            // A colour surface takes them decoded, texel by texel.
            EXPECT_EQ(LoadSurfaceFromMemory(BackBuffer(), nullptr, blocks.data(), info.format, 2 * info.blockBytes,
                                            {0, 0, 8, 8}, kLoadFilterNone, 0),
                      kOk);
            EXPECT_EQ(BackBuffer()->ReadPixelArgb(7, 7), 0xFFFF0000u);
            EXPECT_EQ(BackBuffer()->ReadPixelArgb(5, 4), 0xFF000000u);
            uint32_t argb[64] = {};
            EXPECT_EQ(LoadSurfaceFromMemory(level, nullptr, argb, kFormatA8R8G8B8, 32, {0, 0, 8, 8},
                                            kLoadFilterNone, 0),
                      kErrInvalidCall);
            // Two blocks a row (six pixels wide) do not fit a pitch of one and a half.
            const Rect six = {0, 0, 6, 6};
            EXPECT_EQ(LoadSurfaceFromMemory(level, &six, blocks.data(), info.format, 3 * info.blockBytes / 2,
                                            six, kLoadFilterNone, 0),
                      kErrInvalidCall);
            LockedRect locked;
            ASSERT_EQ(level->LockRect(&locked, nullptr, 0), kOk);
            EXPECT_EQ(locked.pitch, int32_t(2 * info.blockBytes));
            memset(locked.bits, 0, size_t(info.blockBytes)); // first block black
            EXPECT_EQ(level->UnlockRect(), kOk);
            ExpectColor(level->ReadPixel(0, 0), {0, 0, 0, info.format == kFormatDXT1 ? 1.0f : 0.0f}, 0, "locked block");
        }
        else
        {
            // Load 2x2 colours from A8R8G8B8, read them back converted.
            uint32_t source[4];
            for (int i = 0; i < 4; ++i)
                source[i] = PackArgb(colours[i]);
            const Rect dest = {2, 2, 4, 4};
            EXPECT_EQ(LoadSurfaceFromMemory(level, &dest, source, kFormatA8R8G8B8, 8, {0, 0, 2, 2}, kLoadFilterNone,
                                            0),
                      kOk);
            for (int i = 0; i < 4; ++i)
                ExpectColor(level->ReadPixel(2 + i % 2, 2 + i / 2), Kept(info.format, UnpackArgb(source[i])),
                            Tolerance(info.format), "loaded");
            EXPECT_EQ(LoadSurfaceFromMemory(level, &dest, source, kFormatA8R8G8B8, 4, {0, 0, 2, 2}, kLoadFilterNone,
                                            0),
                      kErrInvalidCall);
            EXPECT_TRUE(m_log.Contains("pitch 4 is shorter than the 8 bytes of a source row"));
            EXPECT_EQ(LoadSurfaceFromMemory(level, &dest, source, kFormatA8R8G8B8, 8, {1, 0, 1, 2}, kLoadFilterNone, 0),
                      kErrInvalidCall) << "an empty source rectangle";
            EXPECT_EQ(LoadSurfaceFromMemory(level, &dest, source, kFormatA8R8G8B8, 8, {0, 0, 2, 2}, 2, 0),
                      kErrInvalidCall) << "an unknown filter";
            EXPECT_EQ(LoadSurfaceFromMemory(level, &dest, nullptr, kFormatA8R8G8B8, 8, {0, 0, 2, 2}, kLoadFilterNone, 0),
                      kErrInvalidCall) << "no source";
            // A write through a lock shows in the read-back.
            LockedRect locked;
            const Rect one = {5, 6, 6, 7};
            ASSERT_EQ(level->LockRect(&locked, &one, 0), kOk);
            EncodePixel(info, colours[3], static_cast<uint8_t*>(locked.bits));
            EXPECT_EQ(LoadSurfaceFromMemory(level, &dest, source, kFormatA8R8G8B8, 8, {0, 0, 2, 2}, kLoadFilterNone, 0),
                      kErrInvalidCall) << "a locked surface";
            EXPECT_EQ(level->UnlockRect(), kOk);
            ExpectColor(level->ReadPixel(5, 6), Kept(info.format, colours[3]), Tolerance(info.format), "locked");
        }
        level->Release();
        texture->Release();
    }
}

TEST_F(GpuSurfaceTest, ClearFillsTheViewportOfTargetsAndDepth)
{
    GpuSurface* back = BackBuffer();
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearTarget | kClearDepth | kClearStencil, 0xFF102030u, 0.25f, 9), kOk);
    EXPECT_EQ(back->ReadPixelArgb(0, 0), 0xFF102030u);
    EXPECT_EQ(back->ReadPixelArgb(63, 31), 0xFF102030u);
    EXPECT_EQ(back->ReadPixelArgb(64, 31), 0u) << "right of the surface";
    EXPECT_EQ(back->ReadPixelArgb(0, 32), 0u) << "below the surface";
    GpuSurface* depth = nullptr;
    ASSERT_EQ(m_device->GetDepthStencilSurface(&depth), kOk);
    EXPECT_NEAR(depth->ReadPixel(10, 10).r, 0.25f, 1e-6f);
    EXPECT_EQ(depth->ReadPixel(10, 10).g, 9.0f);
    // Stencil alone keeps the depth.
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearStencil, 0, 1.0f, 3), kOk);
    EXPECT_NEAR(depth->ReadPixel(10, 10).r, 0.25f, 1e-6f);
    EXPECT_EQ(depth->ReadPixel(10, 10).g, 3.0f);
    // Exactly: depth alone keeps every stencil bit, stencil alone every depth bit, inside the viewport.
    const auto stored = [depth](uint32_t x, uint32_t y) {
        uint32_t v;
        memcpy(&v, depth->Bits() + y * depth->Pitch() + x * 4, 4);
        return v;
    };
    const uint32_t quarter = 0x400000u; // 0.25 of the 24-bit range, rounded
    EXPECT_EQ(stored(10, 10), quarter << 8 | 3u);
    ASSERT_EQ(m_device->SetViewport({8, 4, 16, 8, 0, 1}), kOk);
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearDepth, 0, 0.5f, 200), kOk);
    EXPECT_EQ(stored(10, 10), 0x800000u << 8 | 3u);
    EXPECT_EQ(stored(7, 10), quarter << 8 | 3u) << "outside the viewport";
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearStencil, 0, 0.0f, 0x1FE), kOk);
    EXPECT_EQ(stored(23, 11), 0x800000u << 8 | 0xFEu);
    EXPECT_EQ(stored(24, 11), quarter << 8 | 3u) << "outside the viewport";
    ASSERT_EQ(m_device->SetViewport({0, 0, 64, 32, 0, 1}), kOk);
    depth->Release();

    // A smaller viewport and a rectangle limit the cleared area.
    ASSERT_EQ(m_device->SetViewport({8, 4, 16, 8, 0, 1}), kOk);
    const Rect cut = {0, 0, 12, 32};
    ASSERT_EQ(m_device->Clear(1, &cut, kClearTarget, 0xFFFFFFFFu, 1.0f, 0), kOk);
    EXPECT_EQ(back->ReadPixelArgb(8, 4), 0xFFFFFFFFu);
    EXPECT_EQ(back->ReadPixelArgb(11, 11), 0xFFFFFFFFu);
    EXPECT_EQ(back->ReadPixelArgb(12, 4), 0xFF102030u);
    EXPECT_EQ(back->ReadPixelArgb(7, 4), 0xFF102030u);
    EXPECT_EQ(back->ReadPixelArgb(8, 12), 0xFF102030u);

    // Refused: depth with no depth surface bound, stencil of a format without one, a part of a depth copy.
    ASSERT_EQ(m_device->SetDepthStencilSurface(nullptr), kOk);
    EXPECT_EQ(m_device->Clear(0, nullptr, kClearDepth, 0, 1.0f, 0), kErrInvalidCall);
    GpuSurface* d16[2] = {};
    for (GpuSurface*& surface : d16)
        ASSERT_EQ(m_device->CreateDepthStencilSurface(8, 8, kFormatD16, 0, 0, false, &surface), kOk);
    ASSERT_EQ(m_device->SetDepthStencilSurface(d16[0]), kOk);
    ASSERT_EQ(m_device->SetViewport({0, 0, 64, 32, 0, 1}), kOk);
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearDepth, 0, 0.5f, 0), kOk) << "a depth surface smaller than the target";
    EXPECT_NEAR(d16[0]->ReadPixel(7, 7).r, 0.5f, 1e-4f);
    EXPECT_EQ(m_device->Clear(0, nullptr, kClearStencil, 0, 1.0f, 0), kErrInvalidCall);
    const Rect part = {0, 0, 4, 4};
    EXPECT_EQ(m_device->StretchRect(d16[0], &part, d16[1], nullptr, kFilterNone), kErrInvalidCall);
    EXPECT_EQ(m_device->StretchRect(d16[0], nullptr, d16[1], nullptr, kFilterNone), kOk);
    const uint32_t argb[4] = {};
    EXPECT_EQ(LoadSurfaceFromMemory(d16[0], nullptr, argb, kFormatA8R8G8B8, 8, {0, 0, 2, 2}, kLoadFilterNone, 0),
              kErrInvalidCall) << "a depth surface";
    EXPECT_EQ(m_device->GetFrameStatistics().invalidCalls, 3u);
    ASSERT_EQ(m_device->SetDepthStencilSurface(nullptr), kOk);
    for (GpuSurface* surface : d16)
        surface->Release();
    // The frame's log of clears and copies keeps its first records only.
    for (uint32_t i = 0; i < kMaxDrawRecordsPerFrame; ++i)
        ASSERT_EQ(m_device->Clear(0, nullptr, kClearTarget, 0, 1.0f, 0), kOk);
    EXPECT_EQ(m_device->GetSurfaceOpLog().size(), kMaxDrawRecordsPerFrame);
}

TEST_F(GpuSurfaceTest, StretchRectCopiesAndScalesPixels)
{
    GpuTexture* target = nullptr;
    ASSERT_EQ(m_device->CreateTexture(32, 16, 1, kUsageRenderTarget, kFormatA16B16G16R16F, kPoolDefault, &target), kOk);
    GpuSurface* surface = nullptr;
    ASSERT_EQ(target->GetSurfaceLevel(0, &surface), kOk);
    GpuSurface* back = BackBuffer();
    ASSERT_EQ(m_device->Clear(0, nullptr, kClearTarget, 0xFF000000u, 1.0f, 0), kOk);
    const Rect left = {0, 0, 32, 32};
    ASSERT_EQ(m_device->Clear(1, &left, kClearTarget, 0xFFFF0000u, 1.0f, 0), kOk);
    // The 64x32 back buffer shrinks into 32x16: left half red, right half black.
    ASSERT_EQ(m_device->StretchRect(back, nullptr, surface, nullptr, kFilterPoint), kOk);
    ExpectColor(surface->ReadPixel(0, 0), {1, 0, 0, 1}, 1e-3f, "left");
    ExpectColor(surface->ReadPixel(31, 15), {0, 0, 0, 1}, 1e-3f, "right");
    // Linear filtering blends neighbours: red, red, black, black widen to eight pixels.
    const Rect edge = {30, 0, 34, 1}, wide = {0, 0, 8, 1};
    ASSERT_EQ(m_device->StretchRect(back, &edge, surface, &wide, kFilterLinear), kOk);
    EXPECT_EQ(surface->ReadPixel(3, 0).r, 0.75f);
    EXPECT_EQ(surface->ReadPixel(4, 0).r, 0.25f);
    // A plain texture is no copy destination.
    GpuTexture* plain = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &plain), kOk);
    GpuSurface* plainSurface = nullptr;
    ASSERT_EQ(plain->GetSurfaceLevel(0, &plainSurface), kOk);
    EXPECT_EQ(m_device->StretchRect(back, nullptr, plainSurface, nullptr, kFilterNone), kErrInvalidCall);
    plainSurface->Release();
    plain->Release();
    surface->Release();
    target->Release();
}

TEST_F(GpuSurfaceTest, SurfaceLockRules)
{
    GpuTexture* managed = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, 0, kFormatA8R8G8B8, kPoolManaged, &managed), kOk);
    LockedRect locked;
    EXPECT_EQ(managed->LockRect(0, &locked, nullptr, kLockDiscard), kErrInvalidCall) << "discard needs dynamic";
    ASSERT_EQ(managed->LockRect(0, &locked, nullptr, kLockReadOnly), kOk);
    LockedRect again;
    EXPECT_EQ(managed->LockRect(0, &again, nullptr, 0), kErrInvalidCall) << "locked twice";
    static_cast<uint32_t*>(locked.bits)[0] = 0xFFFFFFFFu;
    EXPECT_EQ(managed->UnlockRect(0), kOk);
    EXPECT_EQ(managed->PeekSurface(0, 0)->ReadPixelArgb(0, 0), 0u) << "a read-only lock loses its writes";
    EXPECT_EQ(managed->UnlockRect(0), kErrInvalidCall);
    for (const Rect& outside : {Rect{2, 2, 5, 3}, Rect{1, 1, 1, 3}})
        EXPECT_EQ(managed->LockRect(0, &locked, &outside, 0), kErrInvalidCall);
    EXPECT_EQ(managed->LockRect(1, &locked, nullptr, 0), kErrInvalidCall) << "one level";

    GpuTexture* target = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 4, 1, kUsageRenderTarget, kFormatA8R8G8B8, kPoolDefault, &target), kOk);
    EXPECT_EQ(target->LockRect(0, &locked, nullptr, 0), kErrInvalidCall) << "render targets do not lock";

    GpuTexture* dynamic = nullptr;
    ASSERT_EQ(m_device->CreateTexture(4, 1, 1, kUsageDynamic, kFormatA8R8G8B8, kPoolDefault, &dynamic), kOk);
    ASSERT_EQ(dynamic->LockRect(0, &locked, nullptr, 0), kOk);
    static_cast<uint32_t*>(locked.bits)[0] = 0x11223344u;
    ASSERT_EQ(dynamic->UnlockRect(0), kOk);
    EXPECT_EQ(dynamic->LockRect(0, &locked, nullptr, kLockDiscard | kLockReadOnly), kErrInvalidCall);
    ASSERT_EQ(dynamic->LockRect(0, &locked, nullptr, kLockDiscard), kOk);
    EXPECT_NE(static_cast<uint32_t*>(locked.bits)[0], 0x11223344u) << "discarded contents are not kept";
    ASSERT_EQ(dynamic->UnlockRect(0), kOk);
    EXPECT_EQ(dynamic->PeekSurface(0, 0)->ReadPixelArgb(4, 0), 0u) << "outside the surface";

    GpuTexture* dxt = nullptr;
    ASSERT_EQ(m_device->CreateTexture(8, 8, 1, 0, kFormatDXT5, kPoolManaged, &dxt), kOk);
    for (const Rect& unaligned : {Rect{2, 0, 6, 4}, Rect{4, 2, 8, 6}})
        EXPECT_EQ(dxt->LockRect(0, &locked, &unaligned, 0), kErrInvalidCall);
    const Rect block = {4, 4, 8, 8};
    ASSERT_EQ(dxt->LockRect(0, &locked, &block, 0), kOk);
    EXPECT_EQ(static_cast<uint8_t*>(locked.bits) - dxt->PeekSurface(0, 0)->Bits(), 32 + 16);
    ASSERT_EQ(dxt->UnlockRect(0), kOk);

    dxt->Release();
    dynamic->Release();
    target->Release();
    managed->Release();
}

TEST_F(GpuSurfaceTest, BufferLockRules)
{
    GpuVertexBuffer* fixed = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(64, kUsageWriteOnly, 0, kPoolManaged, &fixed), kOk);
    void* data = nullptr;
    EXPECT_EQ(fixed->Lock(0, 0, &data, kLockDiscard), kErrInvalidCall);
    EXPECT_EQ(fixed->Lock(0, 0, &data, kLockNoOverwrite), kErrInvalidCall);
    EXPECT_EQ(fixed->Lock(60, 8, &data, 0), kErrInvalidCall) << "past the end";
    EXPECT_EQ(fixed->Lock(100, 0, &data, 0), kErrInvalidCall) << "a start past the end, to the end";
    ASSERT_EQ(fixed->Lock(16, 0, &data, 0), kOk);
    memset(data, 0xAB, 48);
    void* again = nullptr;
    EXPECT_EQ(fixed->Lock(0, 4, &again, 0), kErrInvalidCall) << "locked twice";
    EXPECT_TRUE(m_log.Contains("is already locked"));
    ASSERT_EQ(fixed->Unlock(), kOk);
    EXPECT_EQ(fixed->Bytes()[15], 0);
    EXPECT_EQ(fixed->Bytes()[16], 0xAB);
    // A read-only lock of a write-only buffer reads its bytes (serialisation does this) but writes nothing.
    ASSERT_EQ(fixed->Lock(0, 0, &data, kLockReadOnly), kOk);
    EXPECT_EQ(static_cast<uint8_t*>(data)[63], 0xAB);
    static_cast<uint8_t*>(data)[63] = 1;
    ASSERT_EQ(fixed->Unlock(), kOk);
    EXPECT_EQ(fixed->Bytes()[63], 0xAB);
    EXPECT_EQ(fixed->Unlock(), kErrInvalidCall);

    GpuIndexBuffer* ring = nullptr;
    ASSERT_EQ(m_device->CreateIndexBuffer(32, kUsageDynamic | kUsageWriteOnly, kFormatIndex16, kPoolDefault, &ring),
              kOk);
    ASSERT_EQ(ring->Lock(0, 8, &data, kLockDiscard), kOk);
    memset(data, 7, 8);
    ASSERT_EQ(ring->Unlock(), kOk);
    ASSERT_EQ(ring->Lock(8, 8, &data, kLockNoOverwrite), kOk);
    memset(data, 9, 8);
    ASSERT_EQ(ring->Unlock(), kOk);
    EXPECT_EQ(ring->Bytes()[0], 7) << "no-overwrite keeps what was written";
    EXPECT_EQ(ring->Bytes()[8], 9);
    ASSERT_EQ(ring->Lock(0, 0, &data, kLockDiscard), kOk);
    ASSERT_EQ(ring->Unlock(), kOk);
    EXPECT_EQ(ring->Bytes()[0], 0xCD) << "discard fills with a pattern no caller should take for data";
    EXPECT_EQ(ring->GetDiscardCount(), 2u);
    EXPECT_EQ(ring->Lock(0, 0, &data, kLockDiscard | kLockReadOnly), kErrInvalidCall);
    IndexBufferDesc desc;
    ring->GetDesc(&desc);
    EXPECT_EQ(desc.format, kFormatIndex16);
    EXPECT_EQ(desc.type, kResourceIndexBuffer);
    EXPECT_EQ(desc.usage, kUsageDynamic | kUsageWriteOnly);
    EXPECT_EQ(desc.size, 32u);
    ring->Release();
    fixed->Release();
}

// A ring written with no-overwrite must never touch bytes a draw was given since the last discard:
// on a real device the draw may not have read them yet.
TEST_F(GpuSurfaceTest, NoOverwriteLocksReportBytesDrawnSinceTheLastDiscard)
{
    GpuVertexBuffer* vertices = nullptr;
    GpuIndexBuffer* ring = nullptr;
    ASSERT_EQ(m_device->CreateVertexBuffer(16 * 12, kUsageDynamic | kUsageWriteOnly, kFvfXyz, kPoolDefault, &vertices),
              kOk);
    ASSERT_EQ(m_device->CreateIndexBuffer(64, kUsageDynamic | kUsageWriteOnly, kFormatIndex16, kPoolDefault, &ring), kOk);
    void* data = nullptr;
    ASSERT_EQ(ring->Lock(0, 0, &data, kLockDiscard), kOk);
    for (uint16_t i = 0; i < 32; ++i)
        static_cast<uint16_t*>(data)[i] = uint16_t(i % 6);
    ASSERT_EQ(ring->Unlock(), kOk);
    ASSERT_EQ(m_device->BeginScene(), kOk);
    m_device->SetFVF(kFvfXyz);
    m_device->SetStreamSource(0, vertices, 0, 12);
    m_device->SetIndices(ring);
    // Indices 4 to 9 (bytes 8 to 20) name vertices 0 to 5 (bytes 0 to 72); indices 12 to 14 take
    // bytes 24 to 30, leaving a gap.
    ASSERT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 6, 4, 2), kOk);
    ASSERT_EQ(m_device->DrawIndexedPrimitive(kPrimitiveTriangleList, 0, 0, 6, 12, 1), kOk);
    ASSERT_EQ(m_device->EndScene(), kOk);
    m_device->SetIndices(nullptr);
    m_device->SetStreamSource(0, nullptr, 0, 0);

    struct Case
    {
        GpuBuffer* buffer;
        uint32_t offset, size;
        bool hazard;
    };
    const Case cases[] = {
        {ring, 0, 8, false},  {ring, 20, 4, false}, {ring, 30, 8, false},     {ring, 4, 6, true},
        {ring, 18, 4, true},  {ring, 10, 2, true},  {ring, 28, 8, true},      {ring, 0, 0, true},
        {vertices, 72, 12, false}, {vertices, 60, 12, true},
    };
    for (const Case& c : cases)
    {
        const uint32_t before = c.buffer->GetOverwriteHazardCount();
        ASSERT_EQ(c.buffer->Lock(c.offset, c.size, &data, kLockNoOverwrite), kOk);
        ASSERT_EQ(c.buffer->Unlock(), kOk);
        EXPECT_EQ(c.buffer->GetOverwriteHazardCount() - before, c.hazard ? 1u : 0u) << c.offset << "+" << c.size;
    }
    // A discard starts a fresh ring: nothing in it has been drawn.
    ASSERT_EQ(ring->Lock(0, 0, &data, kLockDiscard), kOk);
    ASSERT_EQ(ring->Unlock(), kOk);
    ASSERT_EQ(ring->Lock(8, 12, &data, kLockNoOverwrite), kOk);
    ASSERT_EQ(ring->Unlock(), kOk);
    EXPECT_EQ(ring->GetOverwriteHazardCount(), 5u);
    ring->Release();
    vertices->Release();
}
