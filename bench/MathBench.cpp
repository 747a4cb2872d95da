// Math hot paths beside a plain reference doing the same job: matrix product and inverse against
// textbook scalar loops (row reduction for the inverse), slerp against a double-precision scalar
// slerp, and the four-wide sine/cosine against std::sin/std::cos. Each benchmark times both over
// the same batch and reports "speedup" = reference time / our time.
#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/math/SinCosSSE.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace
{
constexpr int kBatch = 1024;
using Clock = std::chrono::steady_clock;

std::vector<Matrix> RandomMatrices()
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> angle(-180.0f, 180.0f);
    std::uniform_real_distribution<float> scale(0.5f, 2.0f);
    std::vector<Matrix> matrices(kBatch);
    for (Matrix& m : matrices)
        m.LoadComplexTransformation(Vector(angle(rng), angle(rng), angle(rng), 1),
                                    Vector(angle(rng), angle(rng), angle(rng), 0),
                                    Vector(scale(rng), scale(rng), scale(rng), 1));
    return matrices;
}

void ReferenceProduct(float out[4][4], const float a[4][4], const float b[4][4])
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[i][k] * b[k][j];
            out[i][j] = sum;
        }
}

// Gauss-Jordan elimination with partial pivoting.
bool ReferenceInverse(float out[4][4], const float in[4][4])
{
    float a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            a[i][j] = in[i][j];
            a[i][j + 4] = i == j ? 1.0f : 0.0f;
        }
    for (int column = 0; column < 4; ++column)
    {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column]))
                pivot = row;
        if (a[pivot][column] == 0.0f)
            return false;
        for (int j = 0; j < 8; ++j)
            std::swap(a[column][j], a[pivot][j]);
        const float inverse = 1.0f / a[column][column];
        for (int j = 0; j < 8; ++j)
            a[column][j] *= inverse;
        for (int row = 0; row < 4; ++row)
            if (row != column)
            {
                const float factor = a[row][column];
                for (int j = 0; j < 8; ++j)
                    a[row][j] -= factor * a[column][j];
            }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            out[i][j] = a[i][j + 4];
    return true;
}

void ReferenceSlerp(double out[4], const double a[4], const double b[4], double t)
{
    double c = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const double sign = c < 0.0 ? -1.0 : 1.0;
    c *= sign;
    double k0 = 1.0 - t, k1 = t;
    if (1.0 - c > 0.001)
    {
        const double theta = std::acos(c);
        k0 = std::sin((1.0 - t) * theta) / std::sin(theta);
        k1 = std::sin(t * theta) / std::sin(theta);
    }
    for (int i = 0; i < 4; ++i)
        out[i] = k0 * a[i] + sign * k1 * b[i];
}

const float (*Elements(const Matrix& m))[4]
{
    return reinterpret_cast<const float(*)[4]>(&m.rows[0].x);
}

// Runs ours and the reference once each per iteration and reports both rates and their ratio.
template <typename Ours, typename Reference>
void Paired(benchmark::State& state, Ours ours, Reference reference)
{
    double ourSeconds = 0.0, referenceSeconds = 0.0;
    for (auto _ : state)
    {
        const auto start = Clock::now();
        ours();
        const auto middle = Clock::now();
        reference();
        const auto end = Clock::now();
        const double ourTime = std::chrono::duration<double>(middle - start).count();
        ourSeconds += ourTime;
        referenceSeconds += std::chrono::duration<double>(end - middle).count();
        state.SetIterationTime(ourTime);
    }
    const double operations = double(state.iterations()) * kBatch;
    state.counters["ns_per_op"] = ourSeconds * 1e9 / operations;
    state.counters["reference_ns_per_op"] = referenceSeconds * 1e9 / operations;
    state.counters["speedup"] = ourSeconds > 0.0 ? referenceSeconds / ourSeconds : 0.0;
    state.SetItemsProcessed(int64_t(operations));
}

void BM_MatrixMultiply(benchmark::State& state)
{
    const std::vector<Matrix> a = RandomMatrices();
    std::vector<Matrix> out(kBatch);
    std::vector<float> referenceOut(kBatch * 16);
    Paired(
        state,
        [&] {
            for (int i = 0; i < kBatch; ++i)
                out[i].Mul(a[i], a[kBatch - 1 - i]);
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        },
        [&] {
            for (int i = 0; i < kBatch; ++i)
                ReferenceProduct(reinterpret_cast<float(*)[4]>(&referenceOut[i * 16]), Elements(a[kBatch - 1 - i]),
                                 Elements(a[i]));
            benchmark::DoNotOptimize(referenceOut.data());
            benchmark::ClobberMemory();
        });
}
BENCHMARK(BM_MatrixMultiply)->UseManualTime();

void BM_MatrixInverse(benchmark::State& state)
{
    const std::vector<Matrix> a = RandomMatrices();
    std::vector<Matrix> out(kBatch);
    std::vector<float> referenceOut(kBatch * 16);
    Paired(
        state,
        [&] {
            for (int i = 0; i < kBatch; ++i)
                out[i].InverseOf(a[i]);
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        },
        [&] {
            for (int i = 0; i < kBatch; ++i)
                ReferenceInverse(reinterpret_cast<float(*)[4]>(&referenceOut[i * 16]), Elements(a[i]));
            benchmark::DoNotOptimize(referenceOut.data());
            benchmark::ClobberMemory();
        });
}
BENCHMARK(BM_MatrixInverse)->UseManualTime();

void BM_QuaternionSlerp(benchmark::State& state)
{
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> any(-180.0f, 180.0f);
    std::vector<Quaternion> from(kBatch), to(kBatch), out(kBatch);
    std::vector<double> referenceFrom(kBatch * 4), referenceTo(kBatch * 4), referenceOut(kBatch * 4);
    for (int i = 0; i < kBatch; ++i)
    {
        from[i].LoadEulerDegrees(Vector(any(rng), any(rng), any(rng), 0));
        to[i].LoadEulerDegrees(Vector(any(rng), any(rng), any(rng), 0));
        const float* f = &from[i].x;
        const float* t = &to[i].x;
        for (int k = 0; k < 4; ++k)
        {
            referenceFrom[i * 4 + k] = f[k];
            referenceTo[i * 4 + k] = t[k];
        }
    }
    Paired(
        state,
        [&] {
            for (int i = 0; i < kBatch; ++i)
                out[i].Slerp(from[i], to[i], float(i) / kBatch);
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        },
        [&] {
            for (int i = 0; i < kBatch; ++i)
                ReferenceSlerp(&referenceOut[i * 4], &referenceFrom[i * 4], &referenceTo[i * 4], double(i) / kBatch);
            benchmark::DoNotOptimize(referenceOut.data());
            benchmark::ClobberMemory();
        });
}
BENCHMARK(BM_QuaternionSlerp)->UseManualTime();

// One operation is the sine and cosine of one angle.
void BM_SinCosSSE(benchmark::State& state)
{
    std::vector<Vector> angles(kBatch / 4), sines(kBatch / 4), cosines(kBatch / 4);
    std::vector<float> flat(kBatch), referenceSines(kBatch), referenceCosines(kBatch);
    for (int i = 0; i < kBatch; ++i)
        flat[i] = -100.0f + 200.0f * float(i) / kBatch;
    for (int i = 0; i < kBatch / 4; ++i)
        angles[i].Set(flat[i * 4], flat[i * 4 + 1], flat[i * 4 + 2], flat[i * 4 + 3]);
    Paired(
        state,
        [&] {
            for (int i = 0; i < kBatch / 4; ++i)
                SinCosSSE(angles[i], sines[i], cosines[i]);
            benchmark::DoNotOptimize(sines.data());
            benchmark::DoNotOptimize(cosines.data());
            benchmark::ClobberMemory();
        },
        [&] {
            for (int i = 0; i < kBatch; ++i)
            {
                referenceSines[i] = std::sin(flat[i]);
                referenceCosines[i] = std::cos(flat[i]);
            }
            benchmark::DoNotOptimize(referenceSines.data());
            benchmark::DoNotOptimize(referenceCosines.data());
            benchmark::ClobberMemory();
        });
}
BENCHMARK(BM_SinCosSSE)->UseManualTime();
} // namespace
