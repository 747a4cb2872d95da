#include "platform/audio/InterpolatedMix.h"

#include "platform/audio/WaveFormat.h"

#include <immintrin.h>

namespace audio
{
namespace
{
// Adds the four frames' values of every source channel into each bus channel, channel by channel.
// A bus width of 0 is taken from the run-time argument.
template <uint32_t kBusChannels>
inline void AddToBus(const __m128* values, uint32_t channels, const __m128* gains, float* bus, size_t busStride,
                     uint32_t anyBusChannels)
{
    const uint32_t busChannels = kBusChannels != 0 ? kBusChannels : anyBusChannels;
    for (uint32_t b = 0; b < busChannels; ++b)
    {
        float* row = bus + b * busStride;
        __m128 sum = _mm_loadu_ps(row);
        for (uint32_t c = 0; c < channels; ++c)
            sum = _mm_add_ps(sum, _mm_mul_ps(values[c], gains[b * channels + c]));
        _mm_storeu_ps(row, sum);
    }
}

// Values of four output frames, one vector per source channel. Mono and stereo frames are loaded
// with the frame after them (a and n side by side) and turned; wider ones are gathered a float at a time.
template <uint32_t kChannels>
inline void LoadFour(const float* frames, uint32_t channels, const int32_t* advance, __m128 t, __m128* values)
{
    if constexpr (kChannels == 1)
    {
        __m128 f[4];
        for (uint32_t q = 0; q < 4; ++q)
            f[q] = _mm_castsi128_ps(_mm_loadu_si64(frames + advance[q]));
        const __m128 f01 = _mm_unpacklo_ps(f[0], f[1]); // a0 a1 n0 n1
        const __m128 f23 = _mm_unpacklo_ps(f[2], f[3]); // a2 a3 n2 n3
        const __m128 a = _mm_movelh_ps(f01, f23);
        const __m128 n = _mm_movehl_ps(f23, f01);
        values[0] = _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(n, a), t));
    }
    else if constexpr (kChannels == 2)
    {
        // Rows (aL aR nL nR) of four frames become the columns aL, aR, nL, nR.
        __m128 r0 = _mm_loadu_ps(frames + 2 * size_t(advance[0]));
        __m128 r1 = _mm_loadu_ps(frames + 2 * size_t(advance[1]));
        __m128 r2 = _mm_loadu_ps(frames + 2 * size_t(advance[2]));
        __m128 r3 = _mm_loadu_ps(frames + 2 * size_t(advance[3]));
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        values[0] = _mm_add_ps(r0, _mm_mul_ps(_mm_sub_ps(r2, r0), t));
        values[1] = _mm_add_ps(r1, _mm_mul_ps(_mm_sub_ps(r3, r1), t));
    }
    else
    {
        for (uint32_t c = 0; c < channels; ++c)
        {
            const float* at = frames + c;
            const size_t j[4] = {size_t(advance[0]) * channels, size_t(advance[1]) * channels,
                                 size_t(advance[2]) * channels, size_t(advance[3]) * channels};
            const __m128 a = _mm_setr_ps(at[j[0]], at[j[1]], at[j[2]], at[j[3]]);
            const __m128 n = _mm_setr_ps(at[j[0] + channels], at[j[1] + channels], at[j[2] + channels],
                                         at[j[3] + channels]);
            values[c] = _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(n, a), t));
        }
    }
}

// Mono frames of eight output frames where advance moves by at most one per frame: each half's four
// frames lie within four source frames from its first, so one load per half and a pick within it
// give a (and one frame further on, n) without a load per frame.
__attribute__((target("avx")))
inline void PickEightMono(const float* frames, const int32_t* at, __m256& a, __m256& n)
{
    const int32_t first = at[0];
    const int32_t middle = at[4];
    const __m128i low = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), _mm_set1_epi32(first));
    const __m128i high = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 4)), _mm_set1_epi32(middle));
    const __m256i pick = _mm256_insertf128_si256(_mm256_castsi128_si256(low), high, 1);
    const __m256 from = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(frames + first)),
                                             _mm_loadu_ps(frames + middle), 1);
    const __m256 next = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(frames + first + 1)),
                                             _mm_loadu_ps(frames + middle + 1), 1);
    a = _mm256_permutevar_ps(from, pick);
    n = _mm256_permutevar_ps(next, pick);
}

// Eight frames at a time of a mono or stereo source on a stereo bus: the SSE2 loop's loads and
// turns side by side in the two halves of each register, then its arithmetic on all eight lanes.
// No fused multiply-add (the target has none), so every lane rounds as the frame-by-frame loop does.
// Returns the frames done, a multiple of eight.
template <uint32_t kChannels, bool kPick = false>
__attribute__((target("avx")))
uint32_t MixEightStereoBus(const float* frames, const float* t, const int32_t* advance, uint32_t count,
                           const float* gains, float* bus, size_t busStride)
{
    __m256 gainVectors[kChannels * 2];
    for (uint32_t g = 0; g < kChannels * 2; ++g)
        gainVectors[g] = _mm256_set1_ps(gains[g]);
    float* const left = bus;
    float* const right = bus + busStride;
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8)
    {
        const int32_t* at = advance + i;
        const __m256 tt = _mm256_loadu_ps(t + i);
        if constexpr (kChannels == 1 && kPick)
        {
            __m256 a;
            __m256 n;
            PickEightMono(frames, at, a, n);
            const __m256 value = _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(n, a), tt));
            _mm256_storeu_ps(left + i, _mm256_add_ps(_mm256_loadu_ps(left + i), _mm256_mul_ps(value, gainVectors[0])));
            _mm256_storeu_ps(right + i, _mm256_add_ps(_mm256_loadu_ps(right + i), _mm256_mul_ps(value, gainVectors[1])));
        }
        else if constexpr (kChannels == 1)
        {
            __m128 f[8];
            for (uint32_t q = 0; q < 8; ++q)
                f[q] = _mm_castsi128_ps(_mm_loadu_si64(frames + at[q]));
            const __m128 f01 = _mm_unpacklo_ps(f[0], f[1]); // a0 a1 n0 n1
            const __m128 f23 = _mm_unpacklo_ps(f[2], f[3]);
            const __m128 f45 = _mm_unpacklo_ps(f[4], f[5]);
            const __m128 f67 = _mm_unpacklo_ps(f[6], f[7]);
            const __m256 a = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_movelh_ps(f01, f23)), _mm_movelh_ps(f45, f67), 1);
            const __m256 n = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_movehl_ps(f23, f01)), _mm_movehl_ps(f67, f45), 1);
            const __m256 value = _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(n, a), tt));
            _mm256_storeu_ps(left + i, _mm256_add_ps(_mm256_loadu_ps(left + i), _mm256_mul_ps(value, gainVectors[0])));
            _mm256_storeu_ps(right + i, _mm256_add_ps(_mm256_loadu_ps(right + i), _mm256_mul_ps(value, gainVectors[1])));
        }
        else
        {
            // Rows (aL aR nL nR) of frames q and q + 4 share a register, then turn within each half.
            __m256 r[4];
            for (uint32_t q = 0; q < 4; ++q)
                r[q] = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(frames + 2 * size_t(at[q]))),
                                            _mm_loadu_ps(frames + 2 * size_t(at[q + 4])), 1);
            const __m256 lo01 = _mm256_unpacklo_ps(r[0], r[1]); // aL0 aL1 aR0 aR1
            const __m256 hi01 = _mm256_unpackhi_ps(r[0], r[1]); // nL0 nL1 nR0 nR1
            const __m256 lo23 = _mm256_unpacklo_ps(r[2], r[3]);
            const __m256 hi23 = _mm256_unpackhi_ps(r[2], r[3]);
            const __m256 aL = _mm256_shuffle_ps(lo01, lo23, _MM_SHUFFLE(1, 0, 1, 0));
            const __m256 aR = _mm256_shuffle_ps(lo01, lo23, _MM_SHUFFLE(3, 2, 3, 2));
            const __m256 nL = _mm256_shuffle_ps(hi01, hi23, _MM_SHUFFLE(1, 0, 1, 0));
            const __m256 nR = _mm256_shuffle_ps(hi01, hi23, _MM_SHUFFLE(3, 2, 3, 2));
            const __m256 valueL = _mm256_add_ps(aL, _mm256_mul_ps(_mm256_sub_ps(nL, aL), tt));
            const __m256 valueR = _mm256_add_ps(aR, _mm256_mul_ps(_mm256_sub_ps(nR, aR), tt));
            __m256 sum = _mm256_add_ps(_mm256_loadu_ps(left + i), _mm256_mul_ps(valueL, gainVectors[0]));
            _mm256_storeu_ps(left + i, _mm256_add_ps(sum, _mm256_mul_ps(valueR, gainVectors[1])));
            sum = _mm256_add_ps(_mm256_loadu_ps(right + i), _mm256_mul_ps(valueL, gainVectors[2]));
            _mm256_storeu_ps(right + i, _mm256_add_ps(sum, _mm256_mul_ps(valueR, gainVectors[3])));
        }
    }
    return i;
}

// Eight frames at a time of a mono source on a stereo bus whose steps pass at most two frames (at
// most one with kOne), the positions stepped in registers as TrackPhase steps them. The eight frames'
// pairs lie within the seventeen (nine) source frames from the first one's: a pick by each frame's
// distance from the first, from the sixteen (eight) frames there and from as many one further on,
// gives a and n. Returns the frames done, a multiple of eight.
template <bool kOne>
__attribute__((target("avx2")))
uint32_t MixEightTracked(const float* frames, const PhaseTrack& track, uint32_t count, const float* gains, float* bus,
                         size_t busStride)
{
    EightPositions positions(track);
    const __m256 gainLeft = _mm256_set1_ps(gains[0]);
    const __m256 gainRight = _mm256_set1_ps(gains[1]);
    float* const left = bus;
    float* const right = bus + busStride;
    // The first lane's position, whose whole frames address the loads.
    uint64_t position = track.fraction;
    const uint64_t groupStep = 8 * track.step;
    uint32_t i = 0;
    for (; i + 8 <= count; i += 8, position += groupStep)
    {
        const float* from = frames + (position >> 32);
        const __m256i pick =
            _mm256_sub_epi32(positions.whole, _mm256_broadcastd_epi32(_mm256_castsi256_si128(positions.whole)));
        __m256 a = _mm256_permutevar8x32_ps(_mm256_loadu_ps(from), pick);
        __m256 n = _mm256_permutevar8x32_ps(_mm256_loadu_ps(from + 1), pick);
        if constexpr (!kOne)
        {
            // Distances of eight or more (bit 3 moved to the sign) take the upper eight's pick.
            const __m256 upper = _mm256_castsi256_ps(_mm256_slli_epi32(pick, 28));
            a = _mm256_blendv_ps(a, _mm256_permutevar8x32_ps(_mm256_loadu_ps(from + 8), pick), upper);
            n = _mm256_blendv_ps(n, _mm256_permutevar8x32_ps(_mm256_loadu_ps(from + 9), pick), upper);
        }
        const __m256 value = _mm256_add_ps(a, _mm256_mul_ps(_mm256_sub_ps(n, a), positions.T()));
        _mm256_storeu_ps(left + i, _mm256_add_ps(_mm256_loadu_ps(left + i), _mm256_mul_ps(value, gainLeft)));
        _mm256_storeu_ps(right + i, _mm256_add_ps(_mm256_loadu_ps(right + i), _mm256_mul_ps(value, gainRight)));
        positions.Step();
    }
    return i;
}

// A product that the sum after it must not swallow: with AVX-512 compilers may fuse the two into one
// multiply-add, which rounds once where the frame-by-frame loop rounds twice. A 512-bit register
// operand exists only inside an AVX-512 function, so the helper is inlined at every optimisation level.
__attribute__((target("avx512f"), always_inline))
inline void KeepRounded(__m512& product)
{
    __asm__("" : "+v"(product));
}

// Sixteen frames at a time of a mono source on a stereo bus where advance moves by at most two per
// frame: the sixteen frames' pairs lie within 32 source frames from the first one's, so two loads
// and a pick from both registers give a (and, picking one further on, n) for all of them.
// Returns the frames done, a multiple of sixteen.
__attribute__((target("avx512f")))
uint32_t MixSixteenMono(const float* frames, const float* t, const int32_t* advance, uint32_t count,
                        const float* gains, float* bus, size_t busStride)
{
    const __m512 gainLeft = _mm512_set1_ps(gains[0]);
    const __m512 gainRight = _mm512_set1_ps(gains[1]);
    const __m512i one = _mm512_set1_epi32(1);
    float* const left = bus;
    float* const right = bus + busStride;
    uint32_t i = 0;
    for (; i + 16 <= count; i += 16)
    {
        const int32_t first = advance[i];
        const __m512i pick = _mm512_sub_epi32(_mm512_loadu_si512(advance + i), _mm512_set1_epi32(first));
        const __m512 low = _mm512_loadu_ps(frames + first);
        const __m512 high = _mm512_loadu_ps(frames + first + 16);
        const __m512 a = _mm512_permutex2var_ps(low, pick, high);
        const __m512 n = _mm512_permutex2var_ps(low, _mm512_add_epi32(pick, one), high);
        __m512 slope = _mm512_mul_ps(_mm512_sub_ps(n, a), _mm512_loadu_ps(t + i));
        KeepRounded(slope);
        const __m512 value = _mm512_add_ps(a, slope);
        __m512 toLeft = _mm512_mul_ps(value, gainLeft);
        __m512 toRight = _mm512_mul_ps(value, gainRight);
        KeepRounded(toLeft);
        KeepRounded(toRight);
        _mm512_storeu_ps(left + i, _mm512_add_ps(_mm512_loadu_ps(left + i), toLeft));
        _mm512_storeu_ps(right + i, _mm512_add_ps(_mm512_loadu_ps(right + i), toRight));
    }
    return i;
}

// `width` is the widest lanes to use: 4, 8 or 16 floats.
template <uint32_t kChannels, uint32_t kBusChannels>
void MixChannels(const float* frames, uint32_t anyChannels, const float* t, const int32_t* advance, uint32_t count,
                 const float* gains, float* bus, size_t busStride, uint32_t busChannels, uint32_t width = 4,
                 AdvanceSteps steps = AdvanceSteps::Any)
{
    const uint32_t channels = kChannels != 0 ? kChannels : anyChannels;
    uint32_t i = 0;
    if constexpr (kBusChannels == 2 && kChannels == 1)
    {
        if (width == 16 && steps != AdvanceSteps::Any)
            i = MixSixteenMono(frames, t, advance, count, gains, bus, busStride);
        if (width >= 8 && steps == AdvanceSteps::OneAtMost)
            i += MixEightStereoBus<1, true>(frames, t + i, advance + i, count - i, gains, bus + i, busStride);
        else if (width >= 8)
            i += MixEightStereoBus<1>(frames, t + i, advance + i, count - i, gains, bus + i, busStride);
    }
    if constexpr (kBusChannels == 2 && kChannels == 2)
        if (width >= 8)
            i = MixEightStereoBus<2>(frames, t, advance, count, gains, bus, busStride);
    __m128 gainVectors[kMaxChannels * kMaxOutputChannels];
    for (uint32_t g = 0; g < channels * busChannels; ++g)
        gainVectors[g] = _mm_set1_ps(gains[g]);
    __m128 values[kMaxChannels];
    for (; i + 4 <= count; i += 4)
    {
        LoadFour<kChannels>(frames, channels, advance + i, _mm_loadu_ps(t + i), values);
        AddToBus<kBusChannels>(values, channels, gainVectors, bus + i, busStride, busChannels);
    }
    // The last frames one by one, with the same operations in the same order.
    for (; i < count; ++i)
    {
        const float* frame = frames + size_t(advance[i]) * channels;
        float value[kMaxChannels];
        for (uint32_t c = 0; c < channels; ++c)
            value[c] = frame[c] + (frame[channels + c] - frame[c]) * t[i];
        for (uint32_t b = 0; b < busChannels; ++b)
        {
            float sum = bus[b * busStride + i];
            for (uint32_t c = 0; c < channels; ++c)
                sum += value[c] * gains[b * channels + c];
            bus[b * busStride + i] = sum;
        }
    }
}
} // namespace

void MixInterpolated(const float* frames, uint32_t channels, const float* t, const int32_t* advance, uint32_t count,
                     const float* gains, float* bus, size_t busStride, uint32_t busChannels, AdvanceSteps steps,
                     MixLanes lanes)
{
    static const bool haveAvx512 = __builtin_cpu_supports("avx512f");
    static const bool haveAvx = __builtin_cpu_supports("avx");
    const uint32_t width = !haveAvx || lanes == MixLanes::Sse2 ? 4 : haveAvx512 && lanes == MixLanes::Best ? 16 : 8;
    // Mono and stereo sources on a stereo bus are the usual case and get loops of their own.
    if (busChannels == 2 && channels == 1)
        MixChannels<1, 2>(frames, 1, t, advance, count, gains, bus, busStride, 2, width, steps);
    else if (busChannels == 2 && channels == 2)
        MixChannels<2, 2>(frames, 2, t, advance, count, gains, bus, busStride, 2, width);
    else if (channels == 1)
        MixChannels<1, 0>(frames, 1, t, advance, count, gains, bus, busStride, busChannels);
    else if (channels == 2)
        MixChannels<2, 0>(frames, 2, t, advance, count, gains, bus, busStride, busChannels);
    else
        MixChannels<0, 0>(frames, channels, t, advance, count, gains, bus, busStride, busChannels);
}

void MixTrackedMono(const float* frames, const PhaseTrack& track, uint32_t count, const float* gains, float* bus,
                    size_t busStride, AdvanceSteps steps, MixLanes lanes)
{
    static const bool haveAvx512 = __builtin_cpu_supports("avx512f");
    static const bool haveAvx2 = __builtin_cpu_supports("avx2");
    // With AVX-512 the arrays feed sixteen-frame lanes instead.
    uint32_t i = 0;
    if (haveAvx2 && (lanes == MixLanes::Avx || (lanes == MixLanes::Best && !haveAvx512)))
        i = steps == AdvanceSteps::OneAtMost ? MixEightTracked<true>(frames, track, count, gains, bus, busStride)
                                             : MixEightTracked<false>(frames, track, count, gains, bus, busStride);
    // The rest through the arrays, tracked from output frame i's position.
    const uint64_t position = track.fraction + uint64_t(i) * track.step;
    PhaseTrack rest = track;
    rest.fraction = uint32_t(position);
    TrackPhase(rest, count - i);
    MixInterpolated(frames + (position >> 32), 1, rest.t, rest.advance, count - i, gains, bus + i, busStride, 2, steps,
                    lanes);
}
} // namespace audio
