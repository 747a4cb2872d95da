// The scene model's records over arbitrary bytes: the first byte picks the class (the layer system
// at the head of every scene file, or an entity set), the rest is its payload. A payload that reads
// must write back to the same bytes once read again.
#include "fuzz/support/RecordRoundTrip.h"
#include "scene/SceneClassRegistration.h"
#include "scene/entities/EntityLayerSystem.h"
#include "scene/entities/EntitySet.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterSceneClasses();
    if (size == 0)
        return 0;
    if ((data[0] & 1) == 0)
        RecordRoundTrip<EntityLayerSystem>(data + 1, size - 1);
    else
        RecordRoundTrip<EntitySet>(data + 1, size - 1);
    return 0;
}
