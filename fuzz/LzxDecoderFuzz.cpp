// Fuzz target of the LZX frame stream. Input: u16 output step, u8 input step selector, then the
// stream. Decodes until the stream makes no progress, at most 1 MB.
#include "core/filesystem/LzxDecompressionContext.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint32_t outputStep = std::max<uint32_t>(1, uint32_t(data[0]) | uint32_t(data[1]) << 8);
    static const uint32_t kInputSteps[] = {1, 7, 100, 4096, 0xFFFFFFFFu};
    const uint32_t inputStep = kInputSteps[data[2] % 5];
    data += 3;
    size -= 3;

    LZXDecompressionParameters parameters;
    parameters.windowSize = 65536;
    LZXDecompressionContext* created = nullptr;
    if (LZXCreateDecompressionContext(0, &parameters, kLzxCreateResetNow, &created, nullptr) != kLzxResultOk)
        return 0;
    const LZXDecompressionContextPtr context(created);
    std::vector<uint8_t> output(outputStep);
    size_t consumed = 0;
    size_t produced = 0;
    while (produced < (1u << 20))
    {
        uint32_t in = static_cast<uint32_t>(std::min<size_t>(inputStep, size - consumed));
        uint32_t out = outputStep;
        if (!LZXDecompressStream(context.get(), data + consumed, in, output.data(), out))
            break;
        if (in == 0 && out == 0)
            break;
        consumed += in;
        produced += out;
    }
    return 0;
}
