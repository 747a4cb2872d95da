// Ratios of two sides of a benchmark measured in the same iteration, one right after the other, so
// that load from other processes falls on both sides alike. Used from the benchmark's own thread.
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

// Collects per-pair timings of "ours" and a reference, and reports the median of per-pair ratios.
class PairedRatio
{
public:
    using Clock = std::chrono::steady_clock;

    // Which clock a pair is timed with: the wall, or the processor time of the calling thread
    // (for work done on that thread alone: time the thread spends descheduled on a busy machine
    // then counts on neither side).
    enum class Timing
    {
        Wall,
        ThreadCpu,
    };

    explicit PairedRatio(Timing timing = Timing::Wall) : m_timing(timing) {}

    // Times one run of `work` in seconds.
    template <typename Work>
    static double Time(Work&& work, Timing timing = Timing::Wall)
    {
        if (timing == Timing::ThreadCpu)
        {
            const double start = ThreadSeconds();
            work();
            return ThreadSeconds() - start;
        }
        const auto start = Clock::now();
        work();
        return std::chrono::duration<double>(Clock::now() - start).count();
    }

    static double ThreadSeconds()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
    }

    // Adds one pair of wall-clock times for the same amount of work. The order of the two sides
    // alternates between calls so neither always runs on a warmed-up cache.
    template <typename Ours, typename Reference>
    void Measure(Ours&& ours, Reference&& reference)
    {
        double oursSeconds = 0.0;
        double referenceSeconds = 0.0;
        if ((m_ours.size() & 1u) == 0)
        {
            oursSeconds = Time(ours, m_timing);
            referenceSeconds = Time(reference, m_timing);
        }
        else
        {
            referenceSeconds = Time(reference, m_timing);
            oursSeconds = Time(ours, m_timing);
        }
        Add(oursSeconds, referenceSeconds);
    }

    void Add(double oursSeconds, double referenceSeconds)
    {
        m_ours.push_back(oursSeconds);
        m_reference.push_back(referenceSeconds);
    }

    // Median of reference time / our time per pair: above 1 means ours is faster.
    double SpeedRatio() const
    {
        std::vector<double> ratios;
        for (size_t i = 0; i < m_ours.size(); ++i)
            if (m_ours[i] > 0.0)
                ratios.push_back(m_reference[i] / m_ours[i]);
        return Median(ratios);
    }
    // Median of our time / reference time per pair: above 1 means ours is slower.
    double TimeRatio() const
    {
        const double speed = SpeedRatio();
        return speed > 0.0 ? 1.0 / speed : 0.0;
    }
    double MedianOurs() const { return Median(m_ours); }
    size_t Count() const { return m_ours.size(); }
    double MedianReference() const { return Median(m_reference); }

    // Sets the counters `<name>` (speed ratio) and the per-side medians in seconds.
    void Report(benchmark::State& state, const std::string& name) const
    {
        state.counters[name] = SpeedRatio();
        state.counters["ours_s"] = MedianOurs();
        state.counters["ref_s"] = MedianReference();
        state.counters["pairs"] = double(m_ours.size());
    }

    static double MedianOf(const std::vector<double>& values) { return Median(values); }

private:
    static double Median(std::vector<double> values)
    {
        if (values.empty())
            return 0.0;
        const size_t middle = values.size() / 2;
        std::nth_element(values.begin(), values.begin() + middle, values.end());
        double result = values[middle];
        if ((values.size() & 1u) == 0)
        {
            const double lower = *std::max_element(values.begin(), values.begin() + middle);
            result = 0.5 * (result + lower);
        }
        return result;
    }

    Timing m_timing;
    std::vector<double> m_ours;
    std::vector<double> m_reference;
};
