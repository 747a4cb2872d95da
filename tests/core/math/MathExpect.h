// Comparison helpers shared by the math tests.
#pragma once

#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/math/Vector.h"

#include <gtest/gtest.h>

#include <cmath>

inline testing::AssertionResult Near(const Vector& actual, const Vector& expected, float tolerance = 1e-5f)
{
    const float a[4] = {actual.x, actual.y, actual.z, actual.w};
    const float e[4] = {expected.x, expected.y, expected.z, expected.w};
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(a[i] - e[i]) <= tolerance))
            return testing::AssertionFailure() << actual.ToString() << " differs from " << e[0] << ", " << e[1]
                                               << ", " << e[2] << ", " << e[3] << " in lane " << i;
    return testing::AssertionSuccess();
}

inline testing::AssertionResult Near(const Matrix& actual, const Matrix& expected, float tolerance = 1e-5f)
{
    for (int i = 0; i < 4; ++i)
    {
        testing::AssertionResult row = Near(actual.rows[i], expected.rows[i], tolerance);
        if (!row)
            return row << " (row " << i << ")";
    }
    return testing::AssertionSuccess();
}

inline testing::AssertionResult Near(const Quaternion& actual, const Quaternion& expected, float tolerance = 1e-5f)
{
    return Near(Vector(actual.x, actual.y, actual.z, actual.w), Vector(expected.x, expected.y, expected.z, expected.w),
                tolerance);
}

inline bool AllFinite(const Vector& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}
