// The data-only template kinds' records over arbitrary bytes: the first byte picks the kind, the
// rest is its record (for SFX templates, the template's record followed by its effect definition's).
// A record that reads must write back to the same bytes once read again.
#include "core/containers/Dynarray.h"
#include "scene/SceneClassRegistration.h"
#include "scene/kinds/BehaviourTreeTemplate.h"
#include "scene/kinds/ColorEnvelopeTemplate.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/InGameUITemplate.h"
#include "scene/kinds/MeshAnimationGraphTemplate.h"
#include "scene/kinds/ParticleTemplate.h"
#include "scene/kinds/PhysicalEffectTemplate.h"
#include "scene/kinds/SFXTemplate.h"
#include "scene/kinds/VectorEnvelopeTemplate.h"

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
    const uint8_t* const record = data + 1;
    const size_t length = size - 1;
    switch (data[0] % 9)
    {
    case 0: RoundTrip<FlagTemplate>(record, length); break;
    case 1: RoundTrip<PhysicalEffectTemplate>(record, length); break;
    case 2: RoundTrip<BehaviourTreeTemplate>(record, length); break;
    case 3: RoundTrip<MeshAnimationGraphTemplate>(record, length); break;
    case 4: RoundTrip<VectorEnvelopeTemplate>(record, length); break;
    case 5: RoundTrip<ColorEnvelopeTemplate>(record, length); break;
    case 6: RoundTrip<InGameUITemplate>(record, length); break;
    case 7: RoundTrip<SFXTemplate>(record, length); break;
    default: RoundTrip<ParticleTemplate>(record, length); break;
    }
    return 0;
}
