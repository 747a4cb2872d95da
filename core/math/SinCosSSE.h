// Four-wide sine and cosine, angles in radians (the one math entry point that is not in degrees).
// Accurate to float precision for moderate angles (|angle| up to a few hundred radians); the
// three-step range reduction loses precision for thousands of radians. Any thread.
#pragma once

#include "core/math/Vector.h"

// The sine and cosine of each of the four components of angles.
void SinCosSSE(const Vector& angles, Vector& sines, Vector& cosines);
