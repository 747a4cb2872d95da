// The easing curves of camera blends and timed drives. Any thread (pure functions).
#pragma once

#include <cstdint>

// e(t) for easing 1 ease-out sine, 2 ease-in sine, 3 ease-in-out sine, 4 quadratic when
// `withQuadratic`, anything else linear.
float EaseCamera(uint32_t easing, float t, bool withQuadratic);
