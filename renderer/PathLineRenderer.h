// PathLineRenderer: the debug display of a movement path (one global object). The game thread posts
// the points as a packed array of 12-byte positions that the render thread takes over into a vertex
// buffer, and asks for the draw at the end of each frame's scene section; the point buffer belongs
// to the render thread. Posters: main thread; Execute and the getters: render thread.
#pragma once

#include <cstdint>

class CommandRingBuffer;
class NorvexRenderer;
struct Vector;

namespace gpu
{
class GpuVertexBuffer;
}

// The path display: posters on the game thread, the point buffer on the render thread.
class PathLineRenderer
{
public:
    enum SubCommand : uint32_t
    {
        SUB_CLEAR = 0,
        SUB_SET_POINTS = 1,
        SUB_DRAW = 2,
    };
    // The points are drawn this high above the path, as points of this size in pixels.
    static constexpr float kLift = 0.5f;
    static constexpr float kPointSize = 7.0f;

    PathLineRenderer() = default;
    PathLineRenderer(const PathLineRenderer&) = delete;
    PathLineRenderer& operator=(const PathLineRenderer&) = delete;

    // Game thread: drops the point buffer and waits until the render thread has (shutdown,
    // deactivation, before a device reset).
    void Clear();
    // Game thread: shows x, y and z of `count` points (count 0 hides the path).
    void SetPoints(uint32_t count, const Vector* points);
    // Game thread: draws the shown points (end of the scene section).
    void Draw();

    // Render thread: the point buffer and its count.
    const gpu::GpuVertexBuffer* GetPointBuffer() const { return m_points; }
    uint32_t GetShownCount() const { return m_count; }

    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);

private:
    bool Post(uint32_t subCommand, float* array, uint32_t count);
    void ReleasePoints();
    void DrawPoints(NorvexRenderer& renderer) const;

    gpu::GpuVertexBuffer* m_points = nullptr;
    uint32_t m_count = 0;
};

extern PathLineRenderer gPathLineRenderer;
