// Stand-in for the libFuzzer runtime when the build is not made with clang's fuzzer: replays every
// file of the given folders or files, then feeds deterministic mutations of them (bit flips, byte
// changes, truncations, insertions) so that CI exercises each reader on damaged input every run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace
{
using Bytes = std::vector<uint8_t>;

Bytes ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CollectInputs(const std::filesystem::path& path, std::vector<Bytes>& inputs)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
    {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(path, error))
            if (entry.is_regular_file())
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files)
            inputs.push_back(ReadWholeFile(file));
    }
    else if (std::filesystem::is_regular_file(path, error))
    {
        inputs.push_back(ReadWholeFile(path));
    }
}

struct Lcg
{
    uint64_t state;
    uint32_t Next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
};

Bytes Mutate(const Bytes& seed, Lcg& rng)
{
    Bytes out = seed;
    const uint32_t edits = 1 + rng.Next() % 4;
    for (uint32_t i = 0; i < edits; ++i)
    {
        switch (rng.Next() % 6)
        {
        case 0:
            if (!out.empty())
                out[rng.Next() % out.size()] ^= static_cast<uint8_t>(1u << (rng.Next() % 8));
            break;
        case 1:
            if (!out.empty())
                out[rng.Next() % out.size()] = static_cast<uint8_t>(rng.Next());
            break;
        case 2:
            if (!out.empty())
                out.resize(rng.Next() % out.size());
            break;
        case 3:
            out.insert(out.begin() + (out.empty() ? 0 : rng.Next() % (out.size() + 1)),
                       static_cast<uint8_t>(rng.Next()));
            break;
        case 4:
            if (out.size() >= 4)
            {
                // Interesting sizes: counts and lengths that sit on boundaries.
                static const uint32_t kValues[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFF, 0x10000};
                const uint32_t value = kValues[rng.Next() % 7];
                std::memcpy(&out[rng.Next() % (out.size() - 3)], &value, 4);
            }
            break;
        default:
            if (!out.empty())
                out.erase(out.begin() + rng.Next() % out.size());
            break;
        }
    }
    return out;
}
} // namespace

int main(int argc, char** argv)
{
    std::vector<Bytes> inputs;
    long mutations = 0;
    for (int i = 1; i < argc; ++i)
    {
        if (std::strncmp(argv[i], "--mutations=", 12) == 0)
            mutations = std::strtol(argv[i] + 12, nullptr, 10);
        else
            CollectInputs(argv[i], inputs);
    }
    if (inputs.empty())
        inputs.emplace_back();
    for (const Bytes& input : inputs)
        LLVMFuzzerTestOneInput(input.data(), input.size());
    Lcg rng{0x5EEDu};
    for (long i = 0; i < mutations; ++i)
    {
        const Bytes mutated = Mutate(inputs[i % inputs.size()], rng);
        LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
    }
    std::printf("replayed %zu inputs and %ld mutations\n", inputs.size(), mutations);
    return 0;
}
