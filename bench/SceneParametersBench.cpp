// The per-frame blend of two scene parameter sets while a scene environment blend runs (dominated by
// the 1024-entry tone table), beside a plain scalar loop blending the same number of floats. Reports
// "x_reference" = reference time / our time (above 1: ours is faster).
#include "PairedRatio.h"

#include "renderer/SceneParametersWrapper.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
void SceneParametersLerp(benchmark::State& state)
{
    auto from = std::make_unique<SceneParametersWrapper>();
    auto to = std::make_unique<SceneParametersWrapper>();
    auto out = std::make_unique<SceneParametersWrapper>();
    from->SetDefaults();
    to->SetDefaults();
    for (Vector& entry : to->GetShading().toneMapping)
        entry.Mul(0.5f);
    // The reference blends as many floats as the set blends: its tables and about 100 other values.
    const size_t floats = (SceneShadingParameters::kToneMappingEntries + SceneShadingParameters::kColorLookupEntries) * 4 +
                          SceneShadingParameters::kRGBShiftEntries + 100;
    std::vector<float> a(floats, 1.0f), b(floats, 2.0f), c(floats, 0.0f);
    float t = 0.0f;
    PairedRatio ratio(PairedRatio::Timing::ThreadCpu);
    for (auto _ : state)
    {
        t = t >= 1.0f ? 0.0f : t + 1.0f / 60.0f;
        ratio.Measure(
            [&] {
                out->Lerp(*from, *to, t);
                benchmark::DoNotOptimize(out.get());
            },
            [&] {
                for (size_t i = 0; i < floats; ++i)
                    c[i] = a[i] * (1.0f - t) + b[i] * t;
                benchmark::DoNotOptimize(c.data());
            });
    }
    ratio.Report(state, "x_reference");
}
BENCHMARK(SceneParametersLerp);
} // namespace
