#include "core/math/RandomGenerator.h"

#include "platform/os/Clock.h"

RandomGenerator gRandomGenerators[3];

RandomGenerator::RandomGenerator()
{
    SeedFromCounter();
}

void RandomGenerator::SeedFromCounter()
{
    int64_t readings[5];
    for (int64_t& reading : readings)
        reading = os::QueryCounter();
    for (int i = 0; i < 5; ++i)
        m_words[i] = static_cast<uint32_t>(readings[i] >> (i < 2 ? 0 : i - 1));
}

void RandomGenerator::Seed(const uint32_t (&words)[5])
{
    for (int i = 0; i < 5; ++i)
        m_words[i] = words[i];
}

uint32_t RandomGenerator::NextLinear()
{
    const uint32_t previous = m_words[0];
    m_words[0] = previous * 214013u + 2531011u;
    return previous >> 16;
}

uint32_t RandomGenerator::NextMultiplyWithCarry()
{
    uint32_t& z = m_words[1];
    uint32_t& w = m_words[2];
    z = 36969u * (z & 0xFFFFu) + (z >> 16);
    w = 18000u * (w & 0xFFFFu) + (w >> 16);
    return (z << 16) + w;
}
