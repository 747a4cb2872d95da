// The behaviour tree reader over arbitrary bytes: a record that reads must write back, and read
// again, to the same bytes; a tree that reads must also set up an agent's context, tick and release
// it without fault.
#include "core/math/RandomGenerator.h"
#include "fuzz/support/RecordRoundTrip.h"
#include "gameplay/behaviour/BehaviourTree.h"
#include "gameplay/behaviour/BehaviourTreeContext.h"
#include "scene/SceneClassRegistration.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterSceneClasses();
    RecordRoundTrip<BehaviourTree>(data, size);
    BehaviourTree tree;
    if (!tree.DeserializeFromMemory(data, size, 0))
        return 0;
    const uint32_t seed[5] = {uint32_t(size), 7, 11, 13, 17};
    gRandomGenerators[0].Seed(seed);
    BehaviourTreeContext context;
    if (!tree.SetUpContext(context))
        return 0;
    for (int tick = 0; tick < 4; ++tick)
    {
        context.SetInterruptRequested(tick == 2);
        tree.Tick(context);
    }
    tree.ReleaseContext(context);
    return 0;
}
