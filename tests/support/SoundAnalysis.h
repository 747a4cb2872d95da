// Signal measurements on captured sound: level, peak, frequency, onset and the level of one tone.
// Plain functions; any thread.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

// Signal measurements on one captured channel.
namespace SoundAnalysis
{
inline double Rms(const std::vector<float>& v, size_t from, size_t to)
{
    to = std::min(to, v.size());
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += double(v[i]) * v[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}
inline double Peak(const std::vector<float>& v, size_t from, size_t to)
{
    double peak = 0.0;
    for (size_t i = from; i < std::min(to, v.size()); ++i)
        peak = std::max(peak, double(std::fabs(v[i])));
    return peak;
}
// Frequency from rising zero crossings between the first and the last one.
inline double Frequency(const std::vector<float>& v, size_t from, size_t to, uint32_t rate)
{
    to = std::min(to, v.size());
    size_t first = 0, last = 0, crossings = 0;
    for (size_t i = from + 1; i < to; ++i)
        if (v[i - 1] < 0.0f && v[i] >= 0.0f)
        {
            if (crossings == 0)
                first = i;
            last = i;
            ++crossings;
        }
    return crossings > 1 ? double(crossings - 1) * rate / double(last - first) : 0.0;
}
// Index of the first sample whose magnitude passes `threshold`, or v.size().
inline size_t FirstAbove(const std::vector<float>& v, float threshold)
{
    for (size_t i = 0; i < v.size(); ++i)
        if (std::fabs(v[i]) > threshold)
            return i;
    return v.size();
}
// The amplitude of one tone in a window (one bin of a discrete Fourier transform): half the sine's
// peak. Exact for a tone of whole cycles in the window.
inline double ToneLevel(const std::vector<float>& v, size_t from, size_t to, double frequency, uint32_t rate)
{
    to = std::min(to, v.size());
    double re = 0.0;
    double im = 0.0;
    for (size_t i = from; i < to; ++i)
    {
        const double phase = 2.0 * std::numbers::pi * frequency * double(i) / rate;
        re += v[i] * std::cos(phase);
        im += v[i] * std::sin(phase);
    }
    return to > from ? std::sqrt(re * re + im * im) / double(to - from) : 0.0;
}
} // namespace SoundAnalysis
