// Sample data for LZX tests: text-like runs with repeats near and far, noise and call-instruction
// bytes, so that an encoder finds matches of every slot and the E8 translation has work.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

inline std::vector<uint8_t> MakeLzxSample(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    static const char* kWords[] = {"tower ", "squad ", "level ", "guard ", "\xE8\x10\x00\x00\x00", "scene ", "\r\n"};
    std::vector<uint8_t> out;
    while (out.size() < size)
    {
        const uint32_t pick = random() % 10;
        if (pick < 6)
        {
            const char* word = kWords[random() % 7];
            out.insert(out.end(), word, word + std::strlen(word));
        }
        else if (pick < 8 && out.size() > 300)
        {
            const size_t from = out.size() - 1 - random() % std::min<size_t>(out.size() - 1, 60000);
            const size_t length = std::min<size_t>(2 + random() % 300, out.size() - from);
            for (size_t i = 0; i < length; ++i)
                out.push_back(out[from + i]);
        }
        else
        {
            out.push_back(static_cast<uint8_t>(random()));
        }
    }
    out.resize(size);
    return out;
}
