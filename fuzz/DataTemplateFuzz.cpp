// The data-only template kinds' records over arbitrary bytes: the first byte picks the kind, the
// rest is its record (for SFX templates, the template's record followed by its effect definition's).
// A record that reads must write back to the same bytes once read again.
#include "fuzz/support/RecordRoundTrip.h"
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterSceneClasses();
    if (size == 0)
        return 0;
    const uint8_t* const record = data + 1;
    const size_t length = size - 1;
    switch (data[0] % 9)
    {
    case 0: RecordRoundTrip<FlagTemplate>(record, length); break;
    case 1: RecordRoundTrip<PhysicalEffectTemplate>(record, length); break;
    case 2: RecordRoundTrip<BehaviourTreeTemplate>(record, length); break;
    case 3: RecordRoundTrip<MeshAnimationGraphTemplate>(record, length); break;
    case 4: RecordRoundTrip<VectorEnvelopeTemplate>(record, length); break;
    case 5: RecordRoundTrip<ColorEnvelopeTemplate>(record, length); break;
    case 6: RecordRoundTrip<InGameUITemplate>(record, length); break;
    case 7: RecordRoundTrip<SFXTemplate>(record, length); break;
    default: RecordRoundTrip<ParticleTemplate>(record, length); break;
    }
    return 0;
}
