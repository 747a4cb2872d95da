// PathLineRenderer: the debug display of a movement path (script global-free; one global object).
// The game thread posts the points as a packed array of 12-byte positions that the render thread
// takes over; the render thread owns the shown points. Drawing them belongs to the scene section's
// end and comes with the scene passes.
#pragma once

#include <cstdint>
#include <vector>

class CommandRingBuffer;
class NorvexRenderer;
struct Vector;

// The path display: posters on the game thread, state on the render thread.
class PathLineRenderer
{
public:
    enum SubCommand : uint32_t
    {
        SUB_CLEAR = 0,
        SUB_SET_POINTS = 1,
    };

    PathLineRenderer() = default;
    ~PathLineRenderer();
    PathLineRenderer(const PathLineRenderer&) = delete;
    PathLineRenderer& operator=(const PathLineRenderer&) = delete;

    // Game thread: drops the shown points and waits until the render thread has.
    void Clear();
    // Game thread: shows x, y and z of `count` points (count 0 hides the path).
    void SetPoints(uint32_t count, const Vector* points);

    // Render thread: the shown points, three floats each.
    const std::vector<float>& GetShownPoints() const { return m_points; }
    uint32_t GetShownCount() const { return uint32_t(m_points.size() / 3); }

    static void Execute(NorvexRenderer& renderer, uint32_t subCommand, CommandRingBuffer& reader);

private:
    bool Post(uint32_t subCommand, float* array, uint32_t count);

    std::vector<float> m_points;
};

extern PathLineRenderer gPathLineRenderer;
