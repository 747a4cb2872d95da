// UIQuadBatch: gathers the quads of UI elements and draws each run of quads that share one render
// state with a single indexed draw from memory. Four batches exist side by side (indices 0 to 3);
// plain elements use batch 0. A batch holds 64 quads: adding the 64th draws at once, and a state
// change draws what was queued under the old state. Nothing is allocated per frame.
//
// Render thread only (any thread while no render thread runs); no locks.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Vector.h"

#include <cstdint>

class PixelShaderObject;
class TextureHolder;
class VertexShaderObject;

// One UI vertex as the device reads it (52 bytes).
struct UIVertex
{
    float color[4];    // linear RGBA of this corner
    float position[3]; // after the quad matrix
    float extra[4];    // the element's extra shader parameter
    float uv[2];
};
static_assert(sizeof(UIVertex) == 52, "the UI vertex declaration reads 52-byte vertices");

// One of the four batches.
class UIQuadBatch
{
public:
    static constexpr uint32_t kMaxQuads = 64;
    static constexpr uint32_t kMaxVertices = kMaxQuads * 4;
    static constexpr uint32_t kInitialBlendMode = 10;
    static constexpr uint32_t kConstantVectors = 3;

    UIQuadBatch() = default;
    UIQuadBatch(const UIQuadBatch&) = delete;
    UIQuadBatch& operator=(const UIQuadBatch&) = delete;

    // Draws what is queued when any value (or any byte of the three constant vectors) differs from
    // the batch's state, then keeps the new state. Null constants match only a batch without them.
    void SetState(uint32_t blendMode, TextureHolder* texture0, uint32_t sampler0, TextureHolder* texture1,
                  uint32_t sampler1, const VertexShaderObject* vertexShader, const PixelShaderObject* pixelShader,
                  const Vector* constants);
    // The unit square of `matrix`, one colour for its four corners.
    void AddQuad(const Matrix& matrix, const Vector& color, bool mirrored, const Vector& extra, const Vector& uvSize,
                 const Vector& uvOrigin);
    // The same with a colour per corner, corners (0,0), (1,0), (1,1), (0,1).
    void AddQuadColors(const Matrix& matrix, const Vector colors[4], bool mirrored, const Vector& extra,
                       const Vector& uvSize, const Vector& uvOrigin);
    // Appends ready-made vertices, their positions carried through `matrix`. Only whole quads are
    // taken; false (logged, nothing taken) for more vertices than the batch holds.
    bool AddVertices(const Matrix& matrix, const UIVertex* vertices, uint32_t vertexCount);
    // Draws what is queued; no device call at all when nothing is.
    void Flush();
    // Back to the start state (empty, blend mode 10, no shaders, textures or constants).
    void Reset();

    uint32_t GetQuadCount() const { return m_quadCount; }
    const UIVertex* GetVertices() const { return m_vertices; }
    uint32_t GetBlendMode() const { return m_blendMode; }
    bool HasConstants() const { return m_hasConstants; }
    const Vector* GetConstants() const { return m_constants; }

private:
    void WriteCorners(const Matrix& matrix, const Vector* colors, uint32_t colorStep, bool mirrored,
                      const Vector& extra, const Vector& uvSize, const Vector& uvOrigin);

    UIVertex m_vertices[kMaxVertices];
    uint32_t m_quadCount = 0;
    const VertexShaderObject* m_vertexShader = nullptr;
    const PixelShaderObject* m_pixelShader = nullptr;
    TextureHolder* m_texture0 = nullptr;
    TextureHolder* m_texture1 = nullptr;
    uint32_t m_sampler0 = 0;
    uint32_t m_sampler1 = 0;
    uint32_t m_blendMode = kInitialBlendMode;
    bool m_hasConstants = false;
    Vector m_constants[kConstantVectors];
};

constexpr uint32_t kUIQuadBatchCount = 4;

// Batch 0 to 3 (an index past 3 gives batch 3).
UIQuadBatch& GetUIQuadBatch(uint32_t index);
// Flushes batches 0, 1, 2 and 3 in that order.
void FlushAllUIQuadBatches();
