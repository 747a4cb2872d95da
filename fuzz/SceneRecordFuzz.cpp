// The scene model's records over arbitrary bytes: the first byte picks the class (the layer system
// at the head of every scene file, or an entity set), the rest is its payload. A payload that reads
// must write back to the same bytes once read again.
#include "core/containers/Dynarray.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntitySet.h"

#include <cstdint>
#include <cstring>

namespace
{
bool WriteBack(RTTIPolyBaseClass& object, Dynarray<uint8_t>& bytes)
{
    const size_t size = object.SerializeToMemory(nullptr, 0, 0);
    bytes.Clear();
    bytes.AddZeroed(int32_t(size));
    return object.SerializeToMemory(bytes.Data(), size, 0) == size;
}

template <class T>
void RoundTrip(const uint8_t* data, size_t size)
{
    T object;
    if (!object.DeserializeFromMemory(data, size, 0))
        return;
    Dynarray<uint8_t> first;
    Dynarray<uint8_t> second;
    T copy;
    if (!WriteBack(object, first) || !copy.DeserializeFromMemory(first.Data(), size_t(first.Count()), 0) ||
        !WriteBack(copy, second) || first.Count() != second.Count() ||
        std::memcmp(first.Data(), second.Data(), size_t(first.Count())) != 0)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterSceneClasses();
    if (size == 0)
        return 0;
    if ((data[0] & 1) == 0)
        RoundTrip<EntityLayerSystem>(data + 1, size - 1);
    else
        RoundTrip<EntitySet>(data + 1, size - 1);
    return 0;
}
