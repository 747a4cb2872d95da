#include "ui/elements/UIPictureAtlas.h"

#include "core/console/GameConsole.h"
#include "core/threads/CommandRingBuffer.h"
#include "ui/elements/UICommand.h"
#include "ui/elements/UITextBase.h"

#include <algorithm>
#include <cstring>

namespace
{
namespace rp = renderpayload;

constexpr uint32_t CMD_SET_ATLAS_DATA = 43;
constexpr RenderCallFunction kPictureAtlasTrampoline = &UICommandTrampoline<&UIPicture::RunCommand>;

// Where an element of the format lands in a vertex.
float* Field(UIVertex& vertex, uint32_t format)
{
    switch (format)
    {
    case UIPictureAtlas::PICTUREATLAS_POSITION3: return vertex.position;
    case UIPictureAtlas::PICTUREATLAS_MAPPING2: return vertex.uv;
    case UIPictureAtlas::PICTUREATLAS_SHADERPARAM4: return vertex.extra;
    default: return vertex.color;
    }
}
} // namespace

// ---- Main thread ----

void UIPictureAtlas::SetAtlasData(uint32_t format, uint32_t first, uint32_t count, uint32_t sourceCount,
                                  const float* data)
{
    const uint32_t elementBytes = PictureAtlasFrameSize(format, 1);
    // Without a source count every vertex has its own element, which also keeps the render side
    // from taking an index modulo 0.
    const uint32_t elements = sourceCount != 0 ? sourceCount : count;
    if (elementBytes == 0 || count == 0 || data == nullptr)
        return;
    if (uint64_t(first) + count > kMaxAtlasVertices || uint64_t(elements) * elementBytes > UINT32_MAX / 2)
    {
        gConsole.Error(CONSOLE_CHANNEL_RENDER, "UIPictureAtlas: %u vertices from %u exceed the atlas limit of %u",
                       count, first, kMaxAtlasVertices);
        return;
    }
    const uint32_t bytes = elements * elementBytes;
    UICommand command(kPictureAtlasTrampoline, &UIPicture::RunCommand, CMD_SET_ATLAS_DATA, this, 4 * rp::kU32 + bytes);
    command.Put(format).Put(first).Put(count).Put(elements);
    command.Write(data, bytes);
}

// ---- Render side ----

void UIPictureAtlas::ExecutePictureCommand(uint32_t commandId, CommandRingBuffer& reader)
{
    if (commandId == CMD_SET_ATLAS_DATA)
        WriteAtlasData(reader);
    else
        UIPicture::ExecutePictureCommand(commandId, reader);
}

void UIPictureAtlas::WriteAtlasData(CommandRingBuffer& reader)
{
    uint32_t header[4] = {};
    reader.Read(header, sizeof(header));
    const uint32_t format = header[0], first = header[1], count = header[2], sources = header[3];
    const uint32_t elementBytes = PictureAtlasFrameSize(format, 1);
    // Only elements that are really in the record are read.
    if (elementBytes == 0 || sources == 0 || uint64_t(sources) * elementBytes > reader.GetReadLeft() ||
        uint64_t(first) + count > kMaxAtlasVertices)
        return;
    const uint8_t* const source = reader.GetReadCursor();
    if (int32_t(first + count) > m_vertices.Count())
    {
        const int32_t old = m_vertices.Count();
        m_vertices.Resize(int32_t(first + count));
        std::memset(m_vertices.Data() + old, 0, size_t(first + count - uint32_t(old)) * sizeof(UIVertex));
    }
    for (uint32_t i = 0; i < count; ++i)
        std::memcpy(Field(m_vertices[int32_t(first + i)], format), source + size_t(i % sources) * elementBytes,
                    elementBytes);
    reader.SkipRead(sources * elementBytes);
}

void UIPictureAtlas::Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants)
{
    const int32_t batchIndex = GetBatchIndex();
    if (batchIndex < 0)
    {
        UIPicture::Render(matrix, color, mirrored, constants);
        return;
    }
    const uint32_t vertexCount = uint32_t(m_vertices.Count());
    if (vertexCount < 4)
        return;
    const Vector& size = GetRenderSize();
    Matrix scale, placed;
    scale.LoadScale(Vector(size.x, size.y, 1.0f, 1.0f));
    placed.Mul(matrix, scale);
    SetBatchState(uint32_t(batchIndex), constants);
    UIQuadBatch& batch = GetUIQuadBatch(uint32_t(batchIndex));
    // An atlas longer than one batch goes in batch-sized runs instead of past the batch's array.
    for (uint32_t start = 0; start < vertexCount; start += UIQuadBatch::kMaxVertices)
        batch.AddVertices(placed, m_vertices.Data() + start, std::min(vertexCount - start, UIQuadBatch::kMaxVertices));
    if (GetFlushAfter())
        batch.Flush();
}
