// The profiler's overlay on the render thread: one graph of the normalized history and one text line
// per active channel, in rows of 80 pixels down columns 210 pixels wide from the right edge. Drawn
// under the screen camera that Profiler::Render set (pixels, y down). Render thread only.
#include "engine/profiler/Profiler.h"
#include "platform/gpu/GpuDevice.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/ShaderManager.h"
#include "renderer/VertexShaderObject.h"
#include "renderer/resources/ResourceFont.h"

#include <array>
#include <string>

namespace
{
constexpr float kRowHeight = 80.0f;
constexpr float kColumnWidth = 210.0f;
constexpr float kFirstColumnFromRight = 211.0f;
constexpr float kTop = 1.0f;
// The graph fills its row but for a pixel above and below.
constexpr float kGraphHeight = kRowHeight - 2.0f;
constexpr uint32_t kGraphColor = 0xFF40FF40u; // packed ARGB
const Vector kTextColor(1.0f, 1.0f, 1.0f, 1.0f);

struct GraphVertex
{
    float x, y, z;
    uint32_t color;
};

const gpu::VertexElement kGraphLayout[] = {
    {0, 0, gpu::kDeclFloat3, gpu::kDeclMethodDefault, gpu::kDeclUsagePosition, 0},
    {0, 12, gpu::kDeclColor, gpu::kDeclMethodDefault, gpu::kDeclUsageColor, 0},
    gpu::kDeclEnd,
};

// The graph's scale: eleven marks up its left edge, at each tenth of its height.
constexpr float kProfilerGraphScale[] = {
    0.0f, 0.0f, 0.0f, 0.0f, 0.1f, 0.0f, 0.0f, 0.2f, 0.0f, 0.0f, 0.3f, 0.0f, 0.0f, 0.4f, 0.0f, 0.0f, 0.5f,
    0.0f, 0.0f, 0.6f, 0.0f, 0.0f, 0.7f, 0.0f, 0.0f, 0.8f, 0.0f, 0.0f, 0.9f, 0.0f, 0.0f, 1.0f, 0.0f,
};
static_assert(sizeof(kProfilerGraphScale) == Profiler::kGraphScaleBytes);

// 0, 1, 2 ... for one strip through every point of a history.
const uint16_t* StripIndices()
{
    static const auto indices = [] {
        std::array<uint16_t, Profiler::kHistorySize> list{};
        for (uint16_t i = 0; i < list.size(); ++i)
            list[i] = i;
        return list;
    }();
    return indices.data();
}
} // namespace

void Profiler::DrawOverlay(uint32_t width, uint32_t height)
{
    NorvexRenderer* const renderer = gRenderer;
    gpu::GpuDevice* const device = renderer != nullptr ? renderer->GetDevice() : nullptr;
    if (device == nullptr || !IsOverlayFontLoaded())
        return;
    const auto* const font = static_cast<const ResourceFont*>(m_overlayFont);
    const ShaderPair* const lines = gShaderManager.IsInitialised() ? &gShaderManager.GetSystemShader(0) : nullptr;
    float left = float(width) - kFirstColumnFromRight;
    float top = kTop;
    for (uint32_t channel = 0; channel < kChannelCount; ++channel)
    {
        if (!IsActive(channel))
            continue;
        if (top + kRowHeight > float(height))
        {
            top = kTop;
            left -= kColumnWidth;
        }
        if (left < 0.0f)
            return;
        if (lines != nullptr && lines->IsValid())
        {
            GraphVertex graph[kHistorySize];
            for (uint32_t k = 0; k < kHistorySize; ++k)
            {
                const float value = GetNormalizedSample(channel, kHistorySize - 1 - k); // oldest first
                graph[k] = {left + float(k), top + 1.0f + kGraphHeight * (1.0f - value), 0.0f, kGraphColor};
            }
            renderer->SetBlendMode(1);
            renderer->SetCullMode(gpu::kCullNone);
            renderer->SetDepthState(gpu::kCmpAlways, false, 0.0f);
            gpu::GpuVertexDeclaration* declaration = renderer->GetVertexDeclaration(kGraphLayout, 3);
            device->SetVertexDeclaration(declaration);
            gpu::SafeRelease(declaration);
            lines->Bind();
            static_cast<const VertexShaderObject*>(lines->m_vertexObject)->SetModelMatrix(*renderer, Matrix::ONE, true);
            renderer->DrawIndexedPrimitiveUP(gpu::kPrimitiveLineStrip, 0, kHistorySize, kHistorySize - 1,
                                             StripIndices(), gpu::kFormatIndex16, graph, sizeof(GraphVertex));
        }
        Matrix at;
        at.LoadTranslation(left + 2.0f, top + 2.0f, 0.0f);
        const std::string line = std::string(GetProfilerChannelInfo(channel).name) + " " + GetChannelText(channel);
        font->DrawTextA(line.c_str(), at, kTextColor, 0, 1, false, gpu::kCmpAlways);
        top += kRowHeight;
    }
}

void Profiler::CreateGraphGeometry()
{
    ReleaseGraphGeometry();
    if (gRenderer != nullptr)
        m_graphBuffer = gRenderer->CreateVertexBuffer(kGraphScaleBytes, gpu::kUsageWriteOnly, gpu::kPoolManaged,
                                                      kProfilerGraphScale);
    for (uint32_t i = 0; i < kHistorySize; ++i)
    {
        m_graphTicks[2 * i] = Vector3(float(i), 0.0f, 0.0f);
        m_graphTicks[2 * i + 1] = Vector3(float(i), kGraphTickLength, 0.0f);
    }
}

void Profiler::ReleaseGraphGeometry()
{
    gpu::SafeRelease(m_graphBuffer);
}
