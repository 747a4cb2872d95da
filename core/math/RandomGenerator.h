// The engine's random generators, seeded from the high-resolution counter during static
// initialisation. The state belongs to the game thread; tests may seed it.
#pragma once

#include <cstdint>

// Five u32 state words: w0 a linear congruential state, w1 and w2 a multiply-with-carry pair.
class RandomGenerator
{
public:
    // Seeds from five successive counter readings.
    RandomGenerator();

    void SeedFromCounter();
    void Seed(const uint32_t (&words)[5]);
    const uint32_t* GetState() const { return m_words; }

    // Steps w0 = w0 × 214013 + 2531011 and returns bits 16 to 31 of the previous w0 (0 to 65535).
    uint32_t NextLinear();
    // Steps the multiply-with-carry pair z = w1, w = w2 and returns (z << 16) + w.
    uint32_t NextMultiplyWithCarry();

private:
    uint32_t m_words[5];
};

// The three global generators; [0] is the one the engine's random picks draw from by default.
extern RandomGenerator gRandomGenerators[3];
