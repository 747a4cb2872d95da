// Immediate text drawing with a bitmap font: glyph quads in the renderer's shared text vertex table,
// one indexed draw per run of quads on one page (at most 512). Render thread only.
#include "platform/gpu/GpuDevice.h"
#include "platform/os/CodePage.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/PixelShaderObject.h"
#include "renderer/ShaderManager.h"
#include "renderer/TextRenderer.h"
#include "renderer/UIQuadGeometry.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceFont.h"

#include <algorithm>
#include <cstring>

namespace
{
// One corner: position and texel coordinate in whole font pixels and texels, colour as signed
// normalized shorts.
struct FontVertex
{
    int16_t x, y;
    int16_t u, v;
    int16_t color[4];
};
static_assert(sizeof(FontVertex) == TextRenderer::kVertexBytes, "the text vertex declaration reads 16 bytes");
static_assert(TextRenderer::kMaxQuads * 4 * sizeof(FontVertex) <= TextRenderer::kTableBytes,
              "a full batch fits the shared table");
static_assert(TextRenderer::kMaxQuads <= UIQuadGeometry::kMaxIndexedQuads, "the index table covers a full batch");

constexpr uint32_t kTexelScaleRegister = 195;
constexpr uint32_t kPositionOffsetRegister = 196;
constexpr uint32_t kEffectColorRegister = 200;

struct FontShader
{
    const VertexShaderObject* vertex = nullptr;
    const PixelShaderObject* pixel = nullptr;
};
FontShader gShaderOverride[2];

FontShader GetFontShader(bool outlined)
{
    const FontShader& set = gShaderOverride[outlined ? 1 : 0];
    if (set.vertex != nullptr || set.pixel != nullptr)
        return set;
    if (!gShaderManager.IsInitialised())
        return {};
    const ShaderPair& pair =
        gShaderManager.GetSystemShader(outlined ? ResourceFont::kOutlinedShaderSlot : ResourceFont::kPlainShaderSlot);
    return {static_cast<const VertexShaderObject*>(pair.m_vertexObject),
            static_cast<const PixelShaderObject*>(pair.m_pixelObject)};
}

int16_t ToShort(int32_t value)
{
    return int16_t(std::clamp(value, -32768, 32767));
}

void StoreColor(const Vector& color, float alpha, int16_t out[4])
{
    const float channels[4] = {color.x, color.y, color.z, color.w * alpha};
    for (uint32_t i = 0; i < 4; ++i)
        out[i] = int16_t(std::clamp(channels[i], 0.0f, 1.0f) * 32767.0f + 0.5f);
}

// The quads written so far and where they go.
class GlyphBatch
{
public:
    explicit GlyphBatch(NorvexRenderer* renderer)
        : m_renderer(renderer),
          m_vertices(renderer != nullptr
                         ? reinterpret_cast<FontVertex*>(renderer->GetDeviceManager().GetTextRenderer().GetTable().data())
                         : nullptr)
    {
    }

    bool CanDraw() const { return m_vertices != nullptr; }
    uint32_t GetCount() const { return m_count; }
    FontVertex* Next() { return m_vertices + 4 * m_count++; }

    void Draw()
    {
        if (m_count == 0)
            return;
        m_renderer->DrawIndexedPrimitiveUP(gpu::kPrimitiveTriangleList, 0, m_count * 4, m_count * 2,
                                           UIQuadGeometry::GetIndices(), gpu::kFormatIndex16, m_vertices,
                                           sizeof(FontVertex));
        m_count = 0;
    }

private:
    NorvexRenderer* m_renderer;
    FontVertex* m_vertices;
    uint32_t m_count = 0;
};
} // namespace

void ResourceFont::SetShaders(bool outlined, const VertexShaderObject* vertex, const PixelShaderObject* pixel)
{
    gShaderOverride[outlined ? 1 : 0] = {vertex, pixel};
}

float ResourceFont::DrawText(const char16_t* text, const Matrix& transform, const Vector& topColor,
                             const Vector& bottomColor, const Vector& effectColor, int32_t spacing, uint32_t blendMode,
                             bool cullFlag, uint32_t depthCompare, int32_t maxCharacters, float fadeStep,
                             float fadeBase) const
{
    NorvexRenderer* const renderer = gRenderer;
    gpu::GpuDevice* const device = renderer != nullptr ? renderer->GetDevice() : nullptr;
    const FontShader shader = GetFontShader(m_outlined);
    gpu::GpuVertexDeclaration* const declaration =
        device != nullptr ? renderer->GetDeviceManager().GetTextRenderer().GetDeclaration() : nullptr;
    // Without a device, a shader pair or the shared table the pen still advances, so layout that
    // asks for the width gets it.
    GlyphBatch batch(declaration != nullptr && shader.vertex != nullptr && shader.pixel != nullptr ? renderer : nullptr);
    if (batch.CanDraw())
    {
        renderer->SetBlendMode(blendMode);
        // Glyph quads face the viewer through the UI camera's y flip, which marks the camera
        // mirrored; a caller's own mirror turns them round again.
        renderer->SetCullMode(cullFlag == renderer->GetCamera().mirrored ? gpu::kCullCounterClockwise
                                                                         : gpu::kCullClockwise);
        renderer->SetDepthState(depthCompare, false, 0.0f);
        device->SetVertexDeclaration(declaration);
        renderer->SetVertexShader(shader.vertex);
        renderer->SetPixelShader(shader.pixel);
        shader.vertex->SetModelMatrix(*renderer, transform, true);
        const float zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        renderer->SetVertexShaderConstants(kPositionOffsetRegister, zero, 1);
        renderer->SetPixelShaderConstants(kEffectColorRegister, &effectColor.x, 1);
    }
    int32_t pen = 0;
    int32_t page = -1;
    int32_t index = 0;
    for (const char16_t* c = text; c != nullptr && *c != 0 && (maxCharacters < 0 || index < maxCharacters); ++c, ++index)
    {
        const int32_t found = FindGlyph(*c);
        if (found < 0)
            continue;
        const FontGlyphRecord& glyph = m_glyphs[size_t(found)];
        if (batch.CanDraw())
        {
            if (glyph.page != page)
            {
                batch.Draw();
                page = glyph.page;
                renderer->SetTexture(0, GetPageTexture(size_t(page)), 0);
                const float height = float(m_pageHeights[size_t(page)]);
                const float scale[4] = {1.0f / float(kPageWidth), height > 0.0f ? 1.0f / height : 0.0f, 1.0f, 1.0f};
                renderer->SetVertexShaderConstants(kTexelScaleRegister, scale, 1);
            }
            else if (batch.GetCount() == TextRenderer::kMaxQuads)
                batch.Draw();
            const float fade = std::clamp(float(index) * fadeStep + fadeBase, 0.0f, 1.0f);
            int16_t top[4];
            int16_t bottom[4];
            StoreColor(topColor, fade, top);
            StoreColor(bottomColor, fade, bottom);
            const int32_t left = pen + glyph.xOffset;
            const int32_t right = left + (int32_t(glyph.right) - int32_t(glyph.left));
            const int32_t upper = -glyph.yOffset;
            const int32_t lower = upper + (int32_t(glyph.bottom) - int32_t(glyph.top));
            FontVertex* quad = batch.Next();
            quad[0] = {ToShort(left), ToShort(lower), ToShort(glyph.left), ToShort(glyph.bottom), {}};
            quad[1] = {ToShort(right), ToShort(lower), ToShort(glyph.right), ToShort(glyph.bottom), {}};
            quad[2] = {ToShort(right), ToShort(upper), ToShort(glyph.right), ToShort(glyph.top), {}};
            quad[3] = {ToShort(left), ToShort(upper), ToShort(glyph.left), ToShort(glyph.top), {}};
            for (uint32_t corner = 0; corner < 4; ++corner)
                std::memcpy(quad[corner].color, corner < 2 ? bottom : top, sizeof(top));
        }
        pen += glyph.advance + spacing;
    }
    batch.Draw();
    return float(pen);
}

float ResourceFont::DrawTextA(const char* text, const Matrix& transform, const Vector& color, int32_t spacing,
                              uint32_t blendMode, bool cullFlag, uint32_t depthCompare) const
{
    char16_t wide[kMaxNarrowCharacters + 1] = {};
    if (text != nullptr)
        os::NarrowToWide(os::kCodePageSystem, text, std::min<size_t>(std::strlen(text), kMaxNarrowCharacters), wide,
                         kMaxNarrowCharacters);
    const Vector none(0.0f, 0.0f, 0.0f, 0.0f);
    return DrawText(wide, transform, color, color, none, spacing, blendMode, cullFlag, depthCompare, -1, 0.0f, 1.0f);
}
