#include "gameplay/navigation/PathSmoothing.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kWindow = 10;
// A neighbour pair whose steps meet at a cosine-like product at or below this turns back.
constexpr float kTurnBackLimit = -0.3f;

struct Weights
{
    float w[kWindow];
    Weights()
    {
        // exp(-i^2 / (2 sigma^2)) / (sqrt(2 pi) sigma) with sigma = 3.2.
        for (int i = 0; i < kWindow; ++i)
            w[i] = std::exp(-float(i * i) * 0.048828125f) / (std::sqrt(2.0f * 3.14159265f) * 3.2f);
    }
};

float DotSteps(const PathPoint& before, const PathPoint& at, const PathPoint& after)
{
    return (after.x - at.x) * (at.x - before.x) + (after.y - at.y) * (at.y - before.y) +
           (after.z - at.z) * (at.z - before.z);
}
} // namespace

namespace PathSmoothing
{
void Smooth(std::vector<PathPoint>& points)
{
    const int n = int(points.size());
    if (n <= 2)
        return;
    static const Weights weights;
    std::vector<PathPoint> smoothed(points.size());
    for (int k = 0; k < n; ++k)
    {
        const int m = std::min({k + 1, n - k, kWindow});
        const PathPoint& centre = points[size_t(k)];
        float sumX = weights.w[0] * centre.x;
        float sumY = weights.w[0] * centre.y;
        float sumZ = weights.w[0] * centre.z;
        float total = weights.w[0];
        for (int j = 1; j < m; ++j)
        {
            const PathPoint& before = points[size_t(k - j)];
            const PathPoint& after = points[size_t(k + j)];
            if (!(DotSteps(before, centre, after) > kTurnBackLimit))
                continue;
            const float w = weights.w[j];
            sumX += w * (before.x + after.x);
            sumY += w * (before.y + after.y);
            sumZ += w * (before.z + after.z);
            total += 2.0f * w;
        }
        smoothed[size_t(k)] = PathPoint{sumX / total, sumY / total, sumZ / total, centre.tile};
    }
    points.swap(smoothed);
}
} // namespace PathSmoothing
