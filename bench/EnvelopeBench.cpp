// Envelope playback per frame: 10,000 players each advance one frame on a 32-key curve and read
// their value (Envelope::Advance + TEnvelope::Evaluate), beside a plain reference doing
// the same job with std::upper_bound over a float key array and a lerp. "x_reference" is reference
// time / our time.
#include "PairedRatio.h"

#include "effects/TEnvelope.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
constexpr int kPlayers = 10000;
constexpr int kEnvelopeKeys = 32;
constexpr float kEnvelopeFrame = 1.0f / 60.0f;

void EnvelopeFrame(benchmark::State& state)
{
    TEnvelope<Vector> curve;
    std::vector<float> times;
    std::vector<Vector> values;
    for (int k = 0; k < kEnvelopeKeys; ++k)
    {
        const float seconds = 0.25f * float(k);
        const Vector value(float(k), std::sin(float(k)), 1.0f, 0.5f * float(k));
        curve.AddKey(value, seconds, -1);
        times.push_back(seconds);
        values.push_back(value);
    }
    curve.GetLoops().Resize(1);
    curve.GetLoops()[0].m_end = curve.GetKeyTime(kEnvelopeKeys - 1);
    std::vector<EnvelopePlayState> players(kPlayers);
    std::vector<float> referenceTimes(kPlayers);
    for (int i = 0; i < kPlayers; ++i)
        players[size_t(i)].time = referenceTimes[size_t(i)] = 0.0007f * float(i % 10000);
    const float end = times.back();
    std::vector<Vector> out(kPlayers);
    PairedRatio ratio;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (int i = 0; i < kPlayers; ++i)
                {
                    curve.Advance(players[size_t(i)], kEnvelopeFrame);
                    curve.Evaluate(players[size_t(i)], out[size_t(i)]);
                }
                benchmark::DoNotOptimize(out.data());
            },
            [&] {
                for (int i = 0; i < kPlayers; ++i)
                {
                    float& t = referenceTimes[size_t(i)];
                    t = std::fmod(t + kEnvelopeFrame, end);
                    const size_t k = size_t(std::upper_bound(times.begin(), times.end(), t) - times.begin()) - 1;
                    const float w = (t - times[k]) / (times[k + 1] - times[k]);
                    out[size_t(i)].Lerp(values[k], values[k + 1], Vector(w, w, w, w));
                }
                benchmark::DoNotOptimize(out.data());
            });
    }
    ratio.Report(state, "x_reference");
}
BENCHMARK(EnvelopeFrame)->Unit(benchmark::kMicrosecond);
} // namespace
