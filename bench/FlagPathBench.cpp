// Walkers on flag paths: 1,000 walkers each take one step along a curved connection with three
// control points and read their transform (FlagEntity::GetGlobalPositionOnPath), beside a plain
// reference doing the same walk with the arc-length table measured afresh for every query and the
// basis built by hand. "x_reference" is reference time / our time.
#include "PairedRatio.h"

#include "core/math/CatmullRom.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace
{
constexpr int kWalkers = 1000;
constexpr float kStep = 0.05f;

// The segment's point at the arc-length fraction f, its table measured on the spot.
Vector ReferencePoint(const Vector* p, float f, Vector& tangent)
{
    float table[256];
    table[0] = 0.0f;
    Vector previous = p[1];
    for (int j = 1; j < 256; ++j)
    {
        Vector point;
        CatmullRomPoint(point, float(j) / 255.0f, p[0], p[1], p[2], p[3]);
        table[j] = table[j - 1] + point.Distance(previous);
        previous = point;
    }
    const float target = f * table[255];
    int j = 1;
    while (j < 255 && table[j] < target)
        ++j;
    const float span = table[j] - table[j - 1];
    const float u = ((span > 0.0f ? (target - table[j - 1]) / span : 0.0f) + float(j - 1)) / 255.0f;
    Vector position;
    CatmullRomPoint(position, u, p[0], p[1], p[2], p[3]);
    CatmullRomTangent(tangent, u, p[0], p[1], p[2], p[3]);
    return position;
}

void FlagPathWalk(benchmark::State& state)
{
    RegisterSceneClasses();
    gEntityManager.Init(BoundingBox4(Vector(0, -100, 0, 1), Vector(1000, 200, 1000, 1)), 20.0f);
    {
        FlagTemplate flagTemplate;
        Matrix at = Matrix::ONE;
        at.rows[3].Set(100.0f, 0.0f, 100.0f, 1.0f);
        auto* a = static_cast<FlagEntity*>(gEntityManager.CreateEntity(&flagTemplate, nullptr, at, 0, nullptr));
        at.rows[3].Set(160.0f, 0.0f, 100.0f, 1.0f);
        auto* b = static_cast<FlagEntity*>(gEntityManager.CreateEntity(&flagTemplate, nullptr, at, 0, nullptr));
        a->AddConnection(b);
        const float points[3][3] = {{115.0f, 0.0f, 110.0f}, {130.0f, 2.0f, 95.0f}, {145.0f, 0.0f, 108.0f}};
        for (const auto& p : points)
        {
            FlagEntityConnectionControlPoint point;
            point.m_position.Set(p[0], p[1], p[2]);
            a->GetConnection(0).m_controlPoints.Add(point);
        }
        a->UpdateConnectionLengths();
        const FlagEntityConnection& connection = a->GetConnection(0);
        const float length = connection.m_length;
        // The reference walks the same chain: S, S, C0, C1, C2, T, T (previous and next are the ends).
        std::vector<Vector> chain = {a->GetPathPosition(), a->GetPathPosition()};
        std::vector<float> starts = {0.0f};
        for (int i = 0; i < 3; ++i)
        {
            chain.push_back(connection.GetControlPoint(i));
            starts.push_back(connection.GetControlPointDistance(i));
        }
        chain.push_back(b->GetPathPosition());
        chain.push_back(b->GetPathPosition());
        starts.push_back(length);

        std::vector<float> distances(kWalkers);
        for (int i = 0; i < kWalkers; ++i)
            distances[size_t(i)] = length * float(i) / float(kWalkers);
        std::vector<Matrix> out(kWalkers);
        PairedRatio ratio;
        for (auto _ : state)
        {
            ratio.Measure(
                [&] {
                    for (int i = 0; i < kWalkers; ++i)
                    {
                        float& d = distances[size_t(i)];
                        d = std::fmod(d + kStep, length);
                        a->GetGlobalPositionOnPath(b, d, out[size_t(i)], true, nullptr);
                    }
                    benchmark::DoNotOptimize(out.data());
                },
                [&] {
                    for (int i = 0; i < kWalkers; ++i)
                    {
                        const float d = distances[size_t(i)];
                        size_t k = 0;
                        while (k + 1 < starts.size() - 1 && starts[k + 1] <= d)
                            ++k;
                        const float f = (d - starts[k]) / (starts[k + 1] - starts[k]);
                        Vector tangent;
                        const Vector position = ReferencePoint(&chain[k], f, tangent);
                        Vector at;
                        at.Add(position, tangent);
                        out[size_t(i)].LoadInverseLookAtLH(position, at, Vector(0.0f, 1.0f, 0.0f, 0.0f));
                    }
                    benchmark::DoNotOptimize(out.data());
                });
        }
        ratio.Report(state, "x_reference");
        gEntityManager.DestroyScene();
    }
}
BENCHMARK(FlagPathWalk)->Unit(benchmark::kMicrosecond);
} // namespace
