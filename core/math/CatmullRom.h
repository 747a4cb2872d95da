// Uniform Catmull-Rom segments over four control Vectors p0..p3: the curve runs from p1 (t = 0)
// to p2 (t = 1) and all four components are interpolated. Pure functions: any thread.
#pragma once

#include "core/math/Vector.h"

void CatmullRomPoint(Vector& p, float t, const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3);
// The derivative with respect to t.
void CatmullRomTangent(Vector& v, float t, const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3);
// The nearest of 129 evenly spaced samples to target (the earlier one on a tie), its parameter and
// the sampled path length from p1 to it.
void CatmullRomNearestPoint(Vector& point, float& t, float& length, const Vector& target, const Vector& p0,
                            const Vector& p1, const Vector& p2, const Vector& p3);
