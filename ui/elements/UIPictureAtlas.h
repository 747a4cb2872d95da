// UIPictureAtlas: a picture whose quads are given vertex by vertex (positions, texture coordinates,
// extra vectors and colours written into a vertex array by UI command 43), drawn through its batch.
// Threads as UIPicture.
#pragma once

#include "core/containers/Dynarray.h"
#include "ui/elements/UIPicture.h"
#include "ui/render/UIQuadBatch.h"

#include <cstdint>

// A picture made of ready-made quads.
class UIPictureAtlas : public UIPicture
{
public:
    // Vertex fields that atlas data writes.
    enum AtlasFormat : uint32_t
    {
        PICTUREATLAS_POSITION3 = 0,
        PICTUREATLAS_MAPPING2 = 1,
        PICTUREATLAS_SHADERPARAM4 = 2,
        PICTUREATLAS_COLOR4 = 3,
    };
    // The most vertices an atlas keeps: more would be a caller's error, not a picture.
    static constexpr uint32_t kMaxAtlasVertices = 65536;

    // ---- Main thread ----
    // Writes `count` vertices from `first` on: vertex first + i takes source element i modulo the
    // source count (a count of 0 sends `count` elements, one per vertex). `data` holds the floats of
    // the elements (3, 2, 4 or 4 per element by format).
    void SetAtlasData(uint32_t format, uint32_t first, uint32_t count, uint32_t sourceCount, const float* data);

    // ---- Render side ----
    void Render(const Matrix& matrix, const Vector& color, bool mirrored, const Vector* constants) override;
    const Dynarray<UIVertex>& GetAtlasVertices() const { return m_vertices; }

protected:
    void ExecutePictureCommand(uint32_t commandId, CommandRingBuffer& reader) override;

private:
    void WriteAtlasData(CommandRingBuffer& reader);

    Dynarray<UIVertex> m_vertices;
};
