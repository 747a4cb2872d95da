#include "core/math/Matrix.h"
#include "core/math/Quaternion.h"
#include "core/math/Vector.h"
#include "core/math/Vector3.h"
#include "core/reflection/RTTIValueTraits.h"
#include "core/reflection/RecordStream.h"

#include <cstdio>

namespace
{
// n floats, each its own (swappable) word.
void WriteFloats(RecordOutput& out, const float* values, int count)
{
    for (int i = 0; i < count; ++i)
        out.WriteFloat(values[i]);
}

bool ReadFloats(RecordInput& in, float* values, int count)
{
    if (in.Remaining() < size_t(count) * 4)
        return false;
    for (int i = 0; i < count; ++i)
        in.ReadFloat(values[i]);
    return true;
}

// "%.6f" values separated by blanks.
void FloatsToText(const float* values, int count, char* buffer, size_t size)
{
    size_t used = 0;
    for (int i = 0; i < count && used < size; ++i)
    {
        const int written = std::snprintf(buffer + used, size - used, i == 0 ? "%.6f" : " %.6f", values[i]);
        if (written < 0)
            return;
        used += size_t(written);
    }
}

// Reads `count` "%f" values; false when fewer parse.
bool FloatsFromText(float* values, int count, const char* text)
{
    for (int i = 0; i < count; ++i)
    {
        int consumed = 0;
        if (std::sscanf(text, "%f%n", &values[i], &consumed) != 1)
            return false;
        text += consumed;
    }
    return true;
}

bool FloatsEqual(const float* a, const float* b, int count)
{
    for (int i = 0; i < count; ++i)
        if (!(a[i] == b[i]))
            return false;
    return true;
}

void VectorToFloats(const Vector& v, float* out)
{
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
    out[3] = v.w;
}

void FloatsToVector(const float* in, Vector& v)
{
    v.x = in[0];
    v.y = in[1];
    v.z = in[2];
    v.w = in[3];
}

void MatrixToFloats(const Matrix& m, float* out)
{
    for (int row = 0; row < 4; ++row)
        VectorToFloats(m.rows[row], out + 4 * row);
}

void FloatsToMatrix(const float* in, Matrix& m)
{
    for (int row = 0; row < 4; ++row)
        FloatsToVector(in + 4 * row, m.rows[row]);
}
} // namespace

// The float-tuple types differ only in how their floats are gathered and scattered.
#define RTTI_DEFINE_FLOAT_TUPLE_TRAITS(Type, Count, Gather, Scatter)                                       \
    void RTTIValueTraits<Type>::Write(RecordOutput& out, const Type& value)                                \
    {                                                                                                      \
        float f[Count];                                                                                    \
        Gather(value, f);                                                                                  \
        WriteFloats(out, f, Count);                                                                        \
    }                                                                                                      \
    bool RTTIValueTraits<Type>::Read(RecordInput& in, Type& value)                                         \
    {                                                                                                      \
        float f[Count];                                                                                    \
        if (!ReadFloats(in, f, Count))                                                                     \
            return false;                                                                                  \
        Scatter(f, value);                                                                                 \
        return true;                                                                                       \
    }                                                                                                      \
    bool RTTIValueTraits<Type>::Skip(RecordInput& in) { return in.Skip(Count * 4); }                       \
    void RTTIValueTraits<Type>::ToText(const Type& value, char* buffer, size_t size)                       \
    {                                                                                                      \
        float f[Count];                                                                                    \
        Gather(value, f);                                                                                  \
        FloatsToText(f, Count, buffer, size);                                                              \
    }                                                                                                      \
    bool RTTIValueTraits<Type>::FromText(Type& value, const char* text)                                    \
    {                                                                                                      \
        float f[Count];                                                                                    \
        if (!FloatsFromText(f, Count, text))                                                               \
            return false;                                                                                  \
        Scatter(f, value);                                                                                 \
        return true;                                                                                       \
    }                                                                                                      \
    bool RTTIValueTraits<Type>::Equals(const Type& a, const Type& b)                                       \
    {                                                                                                      \
        float fa[Count];                                                                                   \
        float fb[Count];                                                                                   \
        Gather(a, fa);                                                                                     \
        Gather(b, fb);                                                                                     \
        return FloatsEqual(fa, fb, Count);                                                                 \
    }

namespace
{
void Vector3ToFloats(const Vector3& v, float* out)
{
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

void FloatsToVector3(const float* in, Vector3& v)
{
    v.x = in[0];
    v.y = in[1];
    v.z = in[2];
}

void QuaternionToFloats(const Quaternion& q, float* out)
{
    out[0] = q.x;
    out[1] = q.y;
    out[2] = q.z;
    out[3] = q.w;
}

void FloatsToQuaternion(const float* in, Quaternion& q)
{
    q.x = in[0];
    q.y = in[1];
    q.z = in[2];
    q.w = in[3];
}
} // namespace

RTTI_DEFINE_FLOAT_TUPLE_TRAITS(Vector, 4, VectorToFloats, FloatsToVector)
RTTI_DEFINE_FLOAT_TUPLE_TRAITS(Vector3, 3, Vector3ToFloats, FloatsToVector3)
RTTI_DEFINE_FLOAT_TUPLE_TRAITS(Quaternion, 4, QuaternionToFloats, FloatsToQuaternion)
RTTI_DEFINE_FLOAT_TUPLE_TRAITS(Matrix, 16, MatrixToFloats, FloatsToMatrix)
