// Pixel probes of the full-screen sun program of deferred lighting (data/shaders/
// LightFinalComponents.hlsl) against a hand-made shadow map: which texel a receiver reads, and the
// depth its plane is compared at.
#include "GpuRasterTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
class LightProgramTest : public GpuRasterFixture
{
protected:
    void SetPixelRegisters(const char* name, const float* values, uint32_t count)
    {
        ASSERT_EQ(m_device->SetPixelShaderConstantF(Register(m_pixelShader, name), values, count), gpu::kOk);
    }
    // A matrix given row by row (row vectors times it), stored one column per register.
    void SetPixelMatrix(const char* name, const float rows[16])
    {
        float columns[16];
        for (uint32_t r = 0; r < 4; ++r)
            for (uint32_t c = 0; c < 4; ++c)
                columns[c * 4 + r] = rows[r * 4 + c];
        SetPixelRegisters(name, columns, 4);
    }
    // The quad over the 64 x 32 frame, texture coordinates 0 to 1.
    void DrawFrame()
    {
        Draw(gpu::kPrimitiveTriangleStrip, 2,
             {At(0, 0, 0, 0.5f, 0, 0), At(64, 0, 0, 0.5f, 1, 0), At(0, 32, 0, 0.5f, 0, 1), At(64, 32, 0, 0.5f, 1, 1)});
    }
};

// Every pixel of the frame is a receiver facing the sun (normal -z, sun towards +z), its view
// position its screen position and depth 128/255 (identity inverse projection). The shadow matrix
// puts pixel x at map u = x / 64 (texel i of the 8 holds the depth drawn at u = i / 8) and at map
// depth 0.5 + tilt x ndc x; a map texel is a quarter of a view unit along u and half a unit along v,
// so the receiver is looked up half a view unit nearer the light: 0.1 nearer in the map. Lit pixels
// take a quarter of the sun, shadowed ones nothing.
TEST_F(LightProgramTest, TheSunReadsTheNearestMapTexelFromAPointMovedOffItsSurface)
{
    constexpr uint32_t kLit = 0xFF404040u, kDark = 0xFF000000u;
    struct Case
    {
        const char* name;
        bool filtered;
        float tilt;                 // map depth change per ndc x
        std::vector<uint32_t> map;  // 8 texels of depth, as red
        std::vector<std::pair<uint32_t, uint32_t>> pixels; // first pixel of a run and its colour
        uint32_t end;               // pixels from here on are not looked at
    };
    auto depths = [](auto depth) {
        std::vector<uint32_t> texels(8);
        for (uint32_t i = 0; i < 8; ++i)
            texels[i] = 0xFF000000u | uint32_t(std::lround(depth(float(i)) * 255.0f)) << 16;
        return texels;
    };
    const Case cases[] = {
        // Texels 0 to 3 hold an occluder at 0.2: u below 3.5 / 8, nearest to them, is shadowed (pixel
        // 28 lies on the border).
        {"flat receiver by an occluder", false, 0.0f, depths([](float i) { return i < 4 ? 0.2f : 1.0f; }),
         {{0, kDark}, {28, 0}, {29, kLit}}, 64},
        // A surface meeting the receiver in a corner, where the map holds it 0.08 nearer the light.
        {"a surface meeting it in a corner", false, 0.0f, depths([](float) { return 0.42f; }), {{0, kLit}}, 64},
        // The map holds the tilted receiver itself; the filter's second tap, six texels on, reads the
        // plane 0.375 nearer the light, more than the 0.1 the receiver moved.
        {"tilted receiver, filtered", true, -0.25f, depths([](float i) { return 0.75f - 0.0625f * i; }),
         {{0, kLit}}, 64},
        // The plane goes away from the light towards the second tap, which lands on a surface meeting
        // it in a corner (texels 6 and 7, at the plane's depth of texel 2): up to u 0.45 both taps are
        // lit, not compared with the plane's continuation behind that surface.
        {"tilted receiver by a corner, filtered", true, 0.25f,
         depths([](float i) { return 0.25f + 0.0625f * (i < 6 ? i : 2.0f); }), {{0, kLit}}, 28},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        UseFamily("LightFinalComponents.hlsl",
                  c.filtered ? std::vector<std::string>{"SHADOWMAP", "SHADOWMAP_FILTERING"}
                             : std::vector<std::string>{"SHADOWMAP"});
        BindTexture(5, 1, 1, {0xFF808000u}, gpu::kFilterPoint);  // normal (0, 0, -1)
        BindTexture(10, 1, 1, {0xFF808080u}, gpu::kFilterPoint); // depth
        BindTexture(12, 8, 1, c.map, gpu::kFilterPoint);         // the map
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        SetPixelMatrix("InverseProjection", identity);
        const float shadow[16] = {0.5f, 0, c.tilt, 0, 0, -0.25f, 0, 0, 0, 0, 0.2f, 0, 0.5f, 0.5f, 0.4f, 1};
        SetPixelMatrix("ShadowMatrix", shadow);
        const float direction[4] = {0, 0, 1, 0}, colors[12] = {1, 1, 1, 1}, ambient[4] = {0, 0, 0, 0};
        SetPixelRegisters("LightDirection", direction, 1);
        SetPixelRegisters("LightColors", colors, 3);
        SetPixelRegisters("AmbientColor", ambient, 1);
        // Fully dark where shadowed; the filter's tap six texels on; a map of 8 texels.
        const float parameters[4] = {0.0f, 6.0f / 8.0f, 8.0f, 0.0f};
        SetPixelRegisters("ShadowParameters", parameters, 1);
        ClearTarget(0xFF000000u);
        DrawFrame();
        uint32_t expected = 0;
        size_t run = 0;
        for (uint32_t x = 0; x < c.end; ++x)
        {
            if (run < c.pixels.size() && c.pixels[run].first == x)
                expected = c.pixels[run++].second;
            if (expected == 0)
                continue;
            EXPECT_EQ(Probe(x, 16), expected) << "pixel " << x;
        }
    }
}
} // namespace
