// The device's software rasterising of a draw: vertex fetch from the bound streams (or the caller's
// memory), the vertex program per distinct vertex, primitive assembly and the pixel end.
#include "platform/gpu/GpuDevice.h"

#include "platform/gpu/GpuLog.h"
#include "platform/gpu/OutputMerger.h"
#include "platform/gpu/Rasteriser.h"
#include "platform/gpu/VertexFetch.h"

#include <algorithm>
#include <cstring>

namespace gpu
{
namespace
{
struct FetchElement
{
    uint32_t stream;
    uint32_t offset;
    uint8_t type;
    uint32_t slot;
};

Rect Cut(const Rect& a, const Rect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

Rect Whole(const GpuSurface& s) { return {0, 0, int32_t(s.Desc().width), int32_t(s.Desc().height)}; }

float FloatState(uint32_t bits)
{
    float f;
    memcpy(&f, &bits, 4);
    return f;
}
} // namespace

void GpuDevice::ReportMissingProgram()
{
    ++m_frame.drawsWithoutProgram;
    GpuShader* shaders[2] = {m_state.vertexShader, m_state.pixelShader};
    for (GpuShader* shader : shaders)
        if (shader && !shader->MissingProgramReason().empty() && shader->TakeMissingProgramReport())
            LogWarning("shader #%llu (%s, %s): %s; its draws come out flat magenta",
                       (unsigned long long)shader->GetId(), shader->Code().entryPoint.c_str(),
                       shader->Code().profile.c_str(), shader->MissingProgramReason().c_str());
}

uint64_t GpuDevice::Rasterise(uint32_t type, uint32_t primitiveCount, const DrawInput& in)
{
    if (primitiveCount == 0 || !TakeDrawWork())
        return 0;
    std::vector<VertexElement> fvfElements;
    const std::vector<VertexElement>* elements = &fvfElements;
    if (m_state.declaration)
        elements = &m_state.declaration->Elements();
    else if (!FvfElements(m_state.fvf, &fvfElements))
    {
        LogWarning("draw: fixed vertex format 0x%X is not read by the rasteriser; nothing drawn", m_state.fvf);
        return 0;
    }
    FetchElement fetch[kMaxVertexElements];
    uint32_t fetchCount = 0;
    for (const VertexElement& e : *elements)
        if (e.stream != kDeclEndStream && AttributeSlot(e) < kAttributeCount && fetchCount < kMaxVertexElements)
            fetch[fetchCount++] = {e.stream, e.offset, e.type, AttributeSlot(e)};

    const VertexProgram* vertexProgram = m_state.vertexShader ? m_state.vertexShader->Program() : nullptr;
    const PixelProgram* pixelProgram = m_state.pixelShader ? m_state.pixelShader->Program() : nullptr;
    if (!vertexProgram || !pixelProgram)
    {
        ReportMissingProgram();
        pixelProgram = nullptr;
    }

    RasterSetup setup;
    setup.viewport = m_state.viewport;
    const Viewport& v = m_state.viewport;
    setup.clip = {int32_t(v.x), int32_t(v.y), int32_t(v.x + v.width), int32_t(v.y + v.height)};
    for (GpuSurface* target : m_state.renderTargets)
        if (target)
            setup.clip = Cut(setup.clip, Whole(*target));
    GpuSurface* depth = m_state.depthStencil;
    if (depth && depth->Desc().format != kFormatD16 && depth->Info().blockBytes != 4)
        depth = nullptr; // no depth format of another width exists; this keeps the pixel end honest
    if (depth)
        setup.clip = Cut(setup.clip, Whole(*depth));
    if (m_state.renderStates[kRsScissorTestEnable])
        setup.clip = Cut(setup.clip, m_state.scissor);
    setup.cullMode = m_state.renderStates[kRsCullMode];
    setup.depthBias = FloatState(m_state.renderStates[kRsDepthBias]);
    setup.slopeScaleDepthBias = FloatState(m_state.renderStates[kRsSlopeScaleDepthBias]);
    if (pixelProgram)
    {
        setup.varyingCount = pixelProgram->VaryingCount();
        setup.texCoordChange = pixelProgram->SamplesTextures();
    }
    else
    {
        setup.varyingCount = 0; // flat colour
        setup.texCoordChange = false;
    }
    if (setup.clip.left >= setup.clip.right || setup.clip.top >= setup.clip.bottom)
        return 0;

    PixelContext context;
    context.constants = m_pixelConstants;
    for (uint32_t i = 0; i < kSamplerCount; ++i)
        PrepareSampler({m_state.textures[i], m_state.samplerStates[i]}, &context.samplers[i]);
    OutputMerger merger(m_state.renderStates, pixelProgram, context, m_state.renderTargets, depth);

    // Vertices are run once per draw (and instance), in the range the indices reach.
    const uint32_t vertexCount = in.lastVertex - in.firstVertex + 1;
    m_rasterVertices.resize(vertexCount);
    m_rasterVertexDone.assign(vertexCount, 0);
    uint32_t instance = 0;
    // The element's bytes, or null when its stream is unbound or too short (instance data is not
    // checked by the draw calls).
    auto elementBytes = [&](const FetchElement& e, uint32_t vertex) -> const uint8_t* {
        if (in.userVertices)
            return e.stream == 0 ? in.userVertices + size_t(vertex) * in.userStride + e.offset : nullptr;
        const Stream& s = m_state.streams[e.stream];
        if (!s.buffer)
            return nullptr;
        const uint32_t divider = std::max(s.frequency & 0x3FFFFFFFu, 1u);
        const uint64_t index = (s.frequency & kStreamInstanceData) ? instance / divider : vertex;
        const uint64_t at = s.offset + index * s.stride + e.offset;
        return at + GpuVertexDeclaration::TypeSize(e.type) <= s.buffer->GetSize() ? s.buffer->Bytes() + at : nullptr;
    };
    auto vertexAt = [&](uint32_t vertex) -> const ClipVertex& {
        const uint32_t slot = vertex - in.firstVertex;
        ClipVertex& out = m_rasterVertices[slot];
        if (m_rasterVertexDone[slot])
            return out;
        m_rasterVertexDone[slot] = 1;
        VertexInput input;
        for (auto& attribute : input.attributes)
            attribute[0] = attribute[1] = attribute[2] = 0.0f, attribute[3] = 1.0f;
        std::fill(input.attributes[kAttrColor0], input.attributes[kAttrColor0] + 4, 1.0f);
        for (uint32_t i = 0; i < fetchCount; ++i)
            if (const uint8_t* bytes = elementBytes(fetch[i], vertex))
                DecodeElement(fetch[i].type, bytes, input.attributes[fetch[i].slot]);
        if (vertexProgram)
            vertexProgram->Run(m_vertexConstants, input, &out);
        else
        {
            std::copy(input.attributes[kAttrPosition], input.attributes[kAttrPosition] + 4, out.position);
            std::fill(out.varyings, out.varyings + kVaryingCount, 0.0f);
        }
        return out;
    };
    auto indexAt = [&](uint32_t i) -> uint32_t {
        if (!in.indices)
            return in.firstVertex + i;
        uint32_t index = 0;
        memcpy(&index, in.indices + size_t(i) * in.indexSize, in.indexSize);
        return uint32_t(int64_t(in.baseVertex) + index);
    };

    const float pointSize = std::max(FloatState(m_state.renderStates[kRsPointSize]), 1.0f);
    const Stream& first = m_state.streams[0];
    const uint32_t instances =
        !in.userVertices && (first.frequency & kStreamIndexedData) ? std::max(first.frequency & 0x3FFFFFFFu, 1u) : 1;
    for (instance = 0; instance < instances; ++instance)
    {
        if (instance > 0)
            std::fill(m_rasterVertexDone.begin(), m_rasterVertexDone.end(), 0);
        for (uint32_t p = 0; p < primitiveCount; ++p)
            switch (type)
            {
            case kPrimitivePointList: RasterPoint(setup, vertexAt(indexAt(p)), pointSize, merger); break;
            case kPrimitiveLineList:
                RasterLine(setup, vertexAt(indexAt(2 * p)), vertexAt(indexAt(2 * p + 1)), merger);
                break;
            case kPrimitiveLineStrip: RasterLine(setup, vertexAt(indexAt(p)), vertexAt(indexAt(p + 1)), merger); break;
            case kPrimitiveTriangleList:
                RasterTriangle(setup, vertexAt(indexAt(3 * p)), vertexAt(indexAt(3 * p + 1)),
                               vertexAt(indexAt(3 * p + 2)), merger);
                break;
            case kPrimitiveTriangleStrip:
                // Every other triangle swaps two vertices to keep the strip's winding.
                if (p % 2 == 0)
                    RasterTriangle(setup, vertexAt(indexAt(p)), vertexAt(indexAt(p + 1)), vertexAt(indexAt(p + 2)),
                                   merger);
                else
                    RasterTriangle(setup, vertexAt(indexAt(p + 1)), vertexAt(indexAt(p)), vertexAt(indexAt(p + 2)),
                                   merger);
                break;
            default:
                RasterTriangle(setup, vertexAt(indexAt(0)), vertexAt(indexAt(p + 1)), vertexAt(indexAt(p + 2)),
                               merger);
                break;
            }
    }
    m_frame.pixelsWritten += merger.GetShadedCount();
    return merger.GetShadedCount();
}
} // namespace gpu
