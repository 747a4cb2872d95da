// Oriented box: a centre and three extent half-axes. Plain value: any thread.
#pragma once

#include "core/math/Vector.h"

struct BoundingBox4;
struct Matrix;

// Oriented box; each extent is a direction whose length is the half size along that axis.
struct alignas(16) OBBox4
{
    Vector center;
    Vector extents[3];

    static const OBBox4 ONE;

    const Vector& GetExtent(uint32_t i) const { return extents[i]; }
    void SetExtent(uint32_t i, const Vector& e) { extents[i] = e; }

    // The oriented box of box placed by m.
    void Transform3D(const BoundingBox4& box, const Matrix& m);
    // True when |e·d| ≤ e·e for each extent e, d = p − centre: the boundary is inside.
    bool Inside3D(const Vector& p) const;
    // The point of the box nearest to p. A zero extent adds nothing rather than NaN.
    void GetClosestPoint(const Vector& p, Vector& q) const;

    // Debug text: lines labelled "center:", "xextent:", "yextent:", "zextent:".
    void Log(uint32_t kind, uint8_t channel) const;
};

static_assert(sizeof(OBBox4) == 64 && alignof(OBBox4) == 16);
