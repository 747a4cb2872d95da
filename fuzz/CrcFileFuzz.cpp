// The CRC-protected file reader over arbitrary file contents.
#include "core/filesystem/FileSystemWholeFileCRCInputStream.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/norvex-crcfuzz-" + std::to_string(getpid()) + ".bin";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = size == 0 || std::fwrite(data, size, 1, file) == 1;
    std::fclose(file);
    if (written)
    {
        FileSystemWholeFileCRCInputStream stream(path.c_str());
        if (stream.IsOpen())
        {
            const uint32_t total = stream.GetSize();
            uint8_t buffer[64];
            uint32_t done = 0;
            while (done < total)
            {
                const uint32_t count = total - done < 7 ? total - done : 7;
                if (!stream.Read(buffer, count))
                    __builtin_trap();
                done += count;
            }
            if (stream.Read(buffer, 1))
                __builtin_trap();
        }
    }
    std::remove(path.c_str());
    return 0;
}
