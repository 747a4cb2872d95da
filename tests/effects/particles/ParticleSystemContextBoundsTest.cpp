// ctest-labels: thread
// The bounds handshake between the render thread (the frame updates publish) and the game thread
// (ReadBounds consumes): every box read is whole, and a box is published only after the last one
// was read.
#include "effects/particles/ParticleSystemContext.h"

#include "support/ParticleTestSupport.h"

#include <atomic>
#include <thread>

namespace
{
using ParticleSystemContextBoundsTest = ParticlePoolsFixture;

TEST_F(ParticleSystemContextBoundsTest, ReadsAcrossThreadsSeeWholeBoxes)
{
    ParticleSystem system;
    SetParticleProperty(system, "Spawn rate", "200");
    SetParticleProperty(system, "Emitter size", "3 3 3 0");
    ParticleSystemContext* context = Play(system);
    std::atomic<bool> done{false};
    std::thread render([&] {
        for (int frame = 0; frame < 3000; ++frame)
            Frame(0.01f);
        done.store(true, std::memory_order_release);
    });
    uint32_t reads = 0;
    BoundingBox4 box;
    for (;;)
    {
        const bool finished = done.load(std::memory_order_acquire);
        if (!context->ReadBounds(box))
        {
            if (finished)
                break;
            continue;
        }
        ++reads;
        // A box is written whole before it is published: its corners are ordered and finite.
        EXPECT_LE(box.min.x, box.max.x);
        EXPECT_LE(box.min.y, box.max.y);
        EXPECT_LT(box.max.z, 100.0f);
        EXPECT_EQ(box.min.w, 1.0f);
    }
    render.join();
    EXPECT_GT(reads, 0u);
}
} // namespace
