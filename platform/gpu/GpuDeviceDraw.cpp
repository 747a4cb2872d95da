// Clears, copies between surfaces and draw calls of the device.
#include "platform/gpu/GpuDevice.h"

#include "platform/gpu/GpuLog.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gpu
{
namespace
{
Rect Intersect(const Rect& a, const Rect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

Color4f Lerp(const Color4f& a, const Color4f& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// Vertices a draw of primitiveCount primitives reads; 0 for an unknown type.
uint32_t VertexCount(uint32_t type, uint32_t primitiveCount)
{
    if (primitiveCount == 0)
        return 0;
    switch (type)
    {
    case kPrimitivePointList: return primitiveCount;
    case kPrimitiveLineList: return primitiveCount * 2;
    case kPrimitiveLineStrip: return primitiveCount + 1;
    case kPrimitiveTriangleList: return primitiveCount * 3;
    case kPrimitiveTriangleStrip:
    case kPrimitiveTriangleFan: return primitiveCount + 2;
    default: return 0;
    }
}
} // namespace

Rect GpuDevice::ClearArea(const GpuSurface& surface) const
{
    const Viewport& v = m_state.viewport;
    Rect area = {int32_t(v.x), int32_t(v.y), int32_t(v.x + v.width), int32_t(v.y + v.height)};
    area = Intersect(area, {0, 0, int32_t(surface.Desc().width), int32_t(surface.Desc().height)});
    if (m_state.renderStates[kRsScissorTestEnable])
        area = Intersect(area, m_state.scissor);
    return area;
}

Result GpuDevice::Clear(uint32_t count, const Rect* rects, uint32_t flags, uint32_t color, float z, uint32_t stencil)
{
    GpuCallScope scope(m_detector, "Clear");
    ++m_frame.clears;
    if (flags == 0 || (flags & ~(kClearTarget | kClearDepth | kClearStencil)))
        return Refuse("Clear: flags 0x%X", flags);
    if (count > 0 && !rects)
        return Refuse("Clear: %u rectangles but none given", count);
    GpuSurface* depth = m_state.depthStencil;
    if ((flags & (kClearDepth | kClearStencil)) && !depth)
        return Refuse("Clear: depth or stencil asked with no depth-stencil surface bound");
    if ((flags & kClearStencil) && !depth->Info().hasStencil)
        return Refuse("Clear: the depth-stencil format %s has no stencil", depth->Info().name);
    if ((flags & kClearTarget) && !m_state.renderTargets[0])
        return Refuse("Clear: no render target bound");
    if (m_lost)
        return kOk;
    {
        SurfaceOpRecord record{};
        record.op = SurfaceOp::Clear;
        for (uint32_t i = 0; i < kRenderTargetCount; ++i)
            record.targetIds[i] = m_state.renderTargets[i] ? m_state.renderTargets[i]->GetId() : 0;
        record.depthStencilId = depth ? depth->GetId() : 0;
        record.flags = flags;
        record.color = color;
        record.z = z;
        record.stencil = stencil;
        RecordSurfaceOp(std::move(record), count, rects);
    }

    {
        GpuResource* cleared[kRenderTargetCount + 1];
        uint32_t count = 0;
        if (flags & kClearTarget)
            for (GpuSurface* target : m_state.renderTargets)
                if (target)
                    cleared[count++] = ContentOwner(target);
        if (flags & (kClearDepth | kClearStencil))
            cleared[count++] = ContentOwner(depth);
        if (!TakePixelWork(nullptr, 0, cleared, count))
            return kOk;
    }

    auto forEachRect = [&](const GpuSurface& surface, auto&& fill) {
        const Rect area = ClearArea(surface);
        if (count == 0)
            fill(area);
        for (uint32_t i = 0; i < count; ++i)
            if (const Rect r = Intersect(area, rects[i]); !IsEmpty(r))
                fill(r);
    };
    if (flags & kClearTarget)
        for (GpuSurface* target : m_state.renderTargets)
        {
            if (!target)
                continue;
            if (target->IsLocked())
                return Refuse("Clear: render target #%llu is locked", (unsigned long long)target->GetId());
            uint8_t pixel[16];
            EncodePixel(target->Info(), UnpackArgb(color), pixel);
            forEachRect(*target, [&](const Rect& r) { target->FillRect(r, pixel); });
        }
    if (flags & (kClearDepth | kClearStencil))
    {
        const bool both = (flags & kClearDepth) && ((flags & kClearStencil) || !depth->Info().hasStencil);
        forEachRect(*depth, [&](const Rect& r) {
            if (both)
            {
                uint8_t pixel[16];
                EncodePixel(depth->Info(), {z, float(stencil & 0xFF), 0, 1}, pixel);
                depth->FillRect(r, pixel);
                return;
            }
            // One of depth or stencil: keep the other's bits (24-bit depth in the high bits, the
            // stencil byte low, as every depth format with stencil stores them).
            const uint32_t keep = (flags & kClearDepth) ? 0xFFu : 0xFFFFFF00u;
            const uint32_t set = (flags & kClearDepth) ? ToUnorm(z, 24) << 8 : stencil & 0xFFu;
            for (int32_t y = r.top; y < r.bottom; ++y)
            {
                uint8_t* row = depth->Bits() + size_t(y) * depth->Pitch();
                for (int32_t x = r.left; x < r.right; ++x)
                    StoreWord<uint32_t>(row + size_t(x) * 4, (LoadWord<uint32_t>(row + size_t(x) * 4) & keep) | set);
            }
        });
    }
    return kOk;
}

Result GpuDevice::StretchRect(GpuSurface* source, const Rect* sourceRect, GpuSurface* dest, const Rect* destRect,
                              uint32_t filter)
{
    GpuCallScope scope(m_detector, "StretchRect");
    ++m_frame.stretchRects;
    if (!BelongsHere(source) || !BelongsHere(dest) || source == dest)
        return Refuse("StretchRect: surfaces must be two different surfaces of this device");
    if (source->IsLocked() || dest->IsLocked())
        return Refuse("StretchRect: a surface is locked");
    if (filter > kFilterLinear)
        return Refuse("StretchRect: unknown filter %u", filter);
    const SurfaceDesc& sd = source->Desc();
    const SurfaceDesc& dd = dest->Desc();
    const Rect s = sourceRect ? *sourceRect : Rect{0, 0, int32_t(sd.width), int32_t(sd.height)};
    const Rect d = destRect ? *destRect : Rect{0, 0, int32_t(dd.width), int32_t(dd.height)};
    if (!IsRectInside(s, sd.width, sd.height) || !IsRectInside(d, dd.width, dd.height))
        return Refuse("StretchRect: rectangle outside its surface");
    if (!m_lost)
    {
        SurfaceOpRecord record{};
        record.op = SurfaceOp::StretchRect;
        record.targetIds[0] = dest->GetId();
        record.sourceId = source->GetId();
        record.flags = filter;
        const Rect both[2] = {s, d};
        RecordSurfaceOp(std::move(record), 2, both);
    }
    const FormatKind sk = source->Info().kind, dk = dest->Info().kind;
    if (sk == FormatKind::Depth || dk == FormatKind::Depth)
    {
        if (sd.format != dd.format || sd.width != dd.width || sd.height != dd.height || sourceRect || destRect)
            return Refuse("StretchRect: depth surfaces copy whole, between equal sizes and formats");
        if (!m_lost && TakeCopyWork(source, dest))
            memcpy(dest->Bits(), source->Bits(), size_t(dest->Pitch()) * dd.height);
        return kOk;
    }
    if (sk == FormatKind::Compressed || dk == FormatKind::Compressed)
        return Refuse("StretchRect: compressed surfaces cannot be stretched");
    if (!(dd.usage & kUsageRenderTarget))
        return Refuse("StretchRect: destination #%llu is not a render target", (unsigned long long)dest->GetId());
    if (m_lost || !TakeCopyWork(source, dest))
        return kOk;

    const int32_t sw = s.right - s.left, sh = s.bottom - s.top, dw = d.right - d.left, dh = d.bottom - d.top;
    if (sw == dw && sh == dh && sd.format == dd.format)
    {
        const size_t bpp = source->Info().blockBytes;
        for (int32_t y = 0; y < sh; ++y)
            memcpy(dest->Bits() + size_t(d.top + y) * dest->Pitch() + size_t(d.left) * bpp,
                   source->Bits() + size_t(s.top + y) * source->Pitch() + size_t(s.left) * bpp, size_t(sw) * bpp);
        return kOk;
    }
    for (int32_t y = 0; y < dh; ++y)
        for (int32_t x = 0; x < dw; ++x)
        {
            const float fx = (float(x) + 0.5f) * float(sw) / float(dw);
            const float fy = (float(y) + 0.5f) * float(sh) / float(dh);
            Color4f c;
            if (filter == kFilterLinear)
            {
                const float px = std::clamp(fx - 0.5f, 0.0f, float(sw - 1));
                const float py = std::clamp(fy - 0.5f, 0.0f, float(sh - 1));
                const int32_t x0 = int32_t(px), y0 = int32_t(py);
                const int32_t x1 = std::min(x0 + 1, sw - 1), y1 = std::min(y0 + 1, sh - 1);
                auto at = [&](int32_t ix, int32_t iy) {
                    return source->ReadPixel(uint32_t(s.left + ix), uint32_t(s.top + iy));
                };
                const float tx = px - float(x0), ty = py - float(y0);
                c = Lerp(Lerp(at(x0, y0), at(x1, y0), tx), Lerp(at(x0, y1), at(x1, y1), tx), ty);
            }
            else
                c = source->ReadPixel(uint32_t(s.left + std::min(int32_t(fx), sw - 1)),
                                      uint32_t(s.top + std::min(int32_t(fy), sh - 1)));
            dest->WritePixel(uint32_t(d.left + x), uint32_t(d.top + y), c);
        }
    return kOk;
}

Result GpuDevice::CheckDraw(const char* call, uint32_t type, uint32_t primitiveCount, uint32_t* vertexCount)
{
    *vertexCount = VertexCount(type, primitiveCount);
    if (type < kPrimitivePointList || type > kPrimitiveTriangleFan)
        return Refuse("%s: unknown primitive type %u", call, type);
    if (!m_inScene)
        return Refuse("%s: draw outside BeginScene and EndScene", call);
    if (!m_state.renderTargets[0])
        return Refuse("%s: no render target bound", call);
    if (!m_state.declaration && m_state.fvf == 0)
        return Refuse("%s: no vertex declaration or fixed format bound", call);
    return kOk;
}

Result GpuDevice::CheckStreams(const char* call, uint64_t firstVertex, uint64_t vertexCount)
{
    if (vertexCount == 0)
        return kOk;
    for (uint32_t stream = 0; stream < kStreamCount; ++stream)
    {
        // The bytes one vertex of this stream needs: the furthest element end, or the stride.
        uint64_t vertexBytes = 0;
        bool used = false;
        if (m_state.declaration)
        {
            for (const VertexElement& e : m_state.declaration->Elements())
                if (e.stream == stream)
                {
                    used = true;
                    vertexBytes = std::max<uint64_t>(vertexBytes, e.offset + GpuVertexDeclaration::TypeSize(e.type));
                }
        }
        else if (stream == 0)
        {
            used = true;
            vertexBytes = m_state.streams[0].stride;
        }
        if (!used)
            continue;
        const Stream& s = m_state.streams[stream];
        if (!s.buffer || s.stride == 0)
            return Refuse("%s: stream %u has no vertex buffer or stride", call, stream);
        if (s.buffer->IsLocked())
            return Refuse("%s: vertex buffer #%llu of stream %u is locked", call,
                          (unsigned long long)s.buffer->GetId(), stream);
        if (s.frequency & kStreamInstanceData)
            continue; // read per instance, not per vertex
        const uint64_t end = s.offset + (firstVertex + vertexCount - 1) * s.stride + vertexBytes;
        if (end > s.buffer->GetSize())
            return Refuse("%s: vertices %llu to %llu of stream %u pass the end of vertex buffer #%llu (%u bytes)",
                          call, (unsigned long long)firstVertex, (unsigned long long)(firstVertex + vertexCount - 1),
                          stream, (unsigned long long)s.buffer->GetId(), s.buffer->GetSize());
    }
    return kOk;
}

void GpuDevice::MarkDrawnStreams(uint64_t firstVertex, uint64_t vertexCount)
{
    if (vertexCount == 0)
        return;
    for (const Stream& s : m_state.streams)
        if (s.buffer && s.stride != 0 && !(s.frequency & kStreamInstanceData))
            s.buffer->MarkDrawn(s.offset + firstVertex * s.stride, vertexCount * s.stride);
}

void GpuDevice::RecordSurfaceOp(SurfaceOpRecord record, uint32_t count, const Rect* rects)
{
    if (m_surfaceOps.size() >= kMaxDrawRecordsPerFrame)
        return;
    record.drawsBefore = m_frame.drawCalls;
    record.rects.assign(rects, rects + (rects ? count : 0));
    m_surfaceOps.push_back(std::move(record));
}

void GpuDevice::RecordDraw(DrawCall call, uint32_t type, uint32_t primitiveCount, uint32_t startVertex,
                           int32_t baseVertex, uint32_t minIndex, uint32_t numVertices, uint32_t startIndex,
                           const DrawInput& input)
{
    const uint32_t missingBefore = m_frame.drawsWithoutProgram;
    const uint64_t pixels = Rasterise(type, primitiveCount, input);
    ++m_frame.drawCalls;
    m_frame.primitives += primitiveCount;
    if (m_drawLog.size() >= kMaxDrawRecordsPerFrame)
        return;
    DrawRecord& r = m_drawLog.emplace_back();
    r.frame = m_presents;
    r.call = call;
    r.primitiveType = type;
    r.primitiveCount = primitiveCount;
    r.startVertex = startVertex;
    r.baseVertex = baseVertex;
    r.minIndex = minIndex;
    r.numVertices = numVertices;
    r.startIndex = startIndex;
    memcpy(r.renderStates, m_state.renderStates, sizeof(r.renderStates));
    memcpy(r.samplerStates, m_state.samplerStates, sizeof(r.samplerStates));
    auto id = [](const GpuObject* o) { return o ? o->GetId() : 0; };
    for (uint32_t i = 0; i < kSamplerCount; ++i)
        r.textureIds[i] = id(m_state.textures[i]);
    r.vertexShaderId = id(m_state.vertexShader);
    r.pixelShaderId = id(m_state.pixelShader);
    r.declarationId = id(m_state.declaration);
    r.fvf = m_state.fvf;
    for (uint32_t i = 0; i < kStreamCount; ++i)
    {
        const Stream& s = m_state.streams[i];
        r.streams[i] = {id(s.buffer), s.offset, s.stride, s.frequency};
    }
    r.indexBufferId = id(m_state.indices);
    for (uint32_t i = 0; i < kRenderTargetCount; ++i)
        r.renderTargetIds[i] = id(m_state.renderTargets[i]);
    r.depthStencilId = id(m_state.depthStencil);
    r.viewport = m_state.viewport;
    r.scissor = m_state.scissor;
    r.withoutProgram = m_frame.drawsWithoutProgram != missingBefore;
    r.pixelsWritten = pixels;
    auto snapshot = [](const GpuShader* shader, const float* registers, uint32_t limit,
                       std::vector<RegisterValue>* out) {
        if (!shader)
            return;
        for (const ShaderConstant& c : shader->Code().constants)
            if (c.registerSet == RegisterSet::Float4)
                for (uint32_t i = c.registerIndex; i < c.registerIndex + c.registerCount && i < limit; ++i)
                {
                    RegisterValue& v = out->emplace_back();
                    v.index = i;
                    memcpy(v.value, registers + size_t(i) * 4, sizeof(v.value));
                }
    };
    snapshot(m_state.vertexShader, m_vertexConstants, kVertexConstantRegisters, &r.vertexConstants);
    snapshot(m_state.pixelShader, m_pixelConstants, kPixelConstantRegisters, &r.pixelConstants);
}

Result GpuDevice::DrawPrimitive(uint32_t type, uint32_t startVertex, uint32_t primitiveCount)
{
    GpuCallScope scope(m_detector, "DrawPrimitive");
    uint32_t vertices;
    if (const Result r = CheckDraw("DrawPrimitive", type, primitiveCount, &vertices); r != kOk)
        return r;
    if (const Result r = CheckStreams("DrawPrimitive", startVertex, vertices); r != kOk)
        return r;
    MarkDrawnStreams(startVertex, vertices);
    if (!m_lost)
    {
        DrawInput input;
        input.firstVertex = startVertex;
        input.lastVertex = startVertex + vertices - 1;
        RecordDraw(DrawCall::Primitive, type, primitiveCount, startVertex, 0, 0, 0, 0, input);
    }
    return kOk;
}

Result GpuDevice::DrawIndexedPrimitive(uint32_t type, int32_t baseVertex, uint32_t minIndex, uint32_t numVertices,
                                       uint32_t startIndex, uint32_t primitiveCount)
{
    GpuCallScope scope(m_detector, "DrawIndexedPrimitive");
    uint32_t indexCount;
    if (const Result r = CheckDraw("DrawIndexedPrimitive", type, primitiveCount, &indexCount); r != kOk)
        return r;
    const GpuIndexBuffer* indices = m_state.indices;
    if (!indices)
        return Refuse("DrawIndexedPrimitive: no index buffer bound");
    if (indices->IsLocked())
        return Refuse("DrawIndexedPrimitive: index buffer #%llu is locked", (unsigned long long)indices->GetId());
    const uint32_t indexSize = indices->GetIndexSize();
    if (uint64_t(startIndex) + indexCount > indices->GetSize() / indexSize)
        return Refuse("DrawIndexedPrimitive: indices %u+%u pass the end of index buffer #%llu", startIndex,
                      indexCount, (unsigned long long)indices->GetId());
    int64_t lowest = 0, highest = 0;
    if (indexCount > 0)
    {
        lowest = INT64_MAX;
        highest = INT64_MIN;
        const uint8_t* bytes = indices->Bytes() + size_t(startIndex) * indexSize;
        // One load of the index's own width each: a copy of a run-time size byte by byte, read
        // back as a word, stalls on every index of every draw.
        for (uint32_t i = 0; i < indexCount; ++i)
        {
            uint32_t index;
            if (indexSize == 2)
            {
                uint16_t narrow;
                memcpy(&narrow, bytes + size_t(i) * 2, 2);
                index = narrow;
            }
            else
                memcpy(&index, bytes + size_t(i) * 4, 4);
            const int64_t vertex = int64_t(baseVertex) + index;
            lowest = std::min(lowest, vertex);
            highest = std::max(highest, vertex);
        }
        if (lowest < 0)
            return Refuse("DrawIndexedPrimitive: base vertex %d makes vertex %lld negative", baseVertex,
                          (long long)lowest);
        if (const Result r = CheckStreams("DrawIndexedPrimitive", uint64_t(lowest), uint64_t(highest - lowest + 1));
            r != kOk)
            return r;
        MarkDrawnStreams(uint64_t(lowest), uint64_t(highest - lowest + 1));
        m_state.indices->MarkDrawn(uint64_t(startIndex) * indexSize, uint64_t(indexCount) * indexSize);
    }
    if (!m_lost)
    {
        DrawInput input;
        input.indices = indices->Bytes() + size_t(startIndex) * indexSize;
        input.indexSize = indexSize;
        input.baseVertex = baseVertex;
        input.firstVertex = uint32_t(lowest);
        input.lastVertex = uint32_t(highest);
        RecordDraw(DrawCall::IndexedPrimitive, type, primitiveCount, 0, baseVertex, minIndex, numVertices,
                   startIndex, input);
    }
    return kOk;
}

Result GpuDevice::DrawPrimitiveUP(uint32_t type, uint32_t primitiveCount, const void* vertices, uint32_t stride)
{
    GpuCallScope scope(m_detector, "DrawPrimitiveUP");
    uint32_t vertexCount;
    if (const Result r = CheckDraw("DrawPrimitiveUP", type, primitiveCount, &vertexCount); r != kOk)
        return r;
    if (!vertices || stride == 0)
        return Refuse("DrawPrimitiveUP: no vertices or stride");
    if (!m_lost)
    {
        DrawInput input;
        input.userVertices = static_cast<const uint8_t*>(vertices);
        input.userStride = stride;
        input.lastVertex = vertexCount - 1;
        RecordDraw(DrawCall::PrimitiveFromMemory, type, primitiveCount, 0, 0, 0, vertexCount, 0, input);
    }
    Bind(m_state.streams[0].buffer, static_cast<GpuVertexBuffer*>(nullptr));
    m_state.streams[0].offset = m_state.streams[0].stride = 0;
    Bind(m_state.indices, static_cast<GpuIndexBuffer*>(nullptr));
    return kOk;
}

Result GpuDevice::DrawIndexedPrimitiveUP(uint32_t type, uint32_t minIndex, uint32_t numVertices,
                                         uint32_t primitiveCount, const void* indices, Format indexFormat,
                                         const void* vertices, uint32_t stride)
{
    GpuCallScope scope(m_detector, "DrawIndexedPrimitiveUP");
    uint32_t indexCount;
    if (const Result r = CheckDraw("DrawIndexedPrimitiveUP", type, primitiveCount, &indexCount); r != kOk)
        return r;
    if (!vertices || !indices || stride == 0 || (indexFormat != kFormatIndex16 && indexFormat != kFormatIndex32))
        return Refuse("DrawIndexedPrimitiveUP: no vertices, indices or stride, or index format %u", indexFormat);
    const uint32_t indexSize = indexFormat == kFormatIndex32 ? 4 : 2;
    for (uint32_t i = 0; i < indexCount; ++i)
    {
        uint32_t index = 0;
        memcpy(&index, static_cast<const uint8_t*>(indices) + size_t(i) * indexSize, indexSize);
        if (index < minIndex || index - minIndex >= numVertices)
            return Refuse("DrawIndexedPrimitiveUP: index %u outside vertices %u to %u", index, minIndex,
                          minIndex + numVertices - 1);
    }
    if (!m_lost)
    {
        DrawInput input;
        input.userVertices = static_cast<const uint8_t*>(vertices);
        input.userStride = stride;
        input.indices = static_cast<const uint8_t*>(indices);
        input.indexSize = indexSize;
        input.firstVertex = minIndex;
        input.lastVertex = minIndex + numVertices - 1;
        RecordDraw(DrawCall::IndexedPrimitiveFromMemory, type, primitiveCount, 0, 0, minIndex, numVertices, 0,
                   input);
    }
    Bind(m_state.streams[0].buffer, static_cast<GpuVertexBuffer*>(nullptr));
    m_state.streams[0].offset = m_state.streams[0].stride = 0;
    Bind(m_state.indices, static_cast<GpuIndexBuffer*>(nullptr));
    return kOk;
}
} // namespace gpu
