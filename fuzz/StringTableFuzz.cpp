// String table payloads ("L01n.bin" after its size) over arbitrary bytes: a table that loads
// answers every path it holds, with its gender tags resolved, and nothing outside it is read.
#include "ui/text/CompiledGameStringCollection.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CompiledGameStringCollection table;
    if (!table.DeserializeFromMemory(data, size, 0))
    {
        if (table.GetStringCount() != 0 || table.Find("") != nullptr)
            __builtin_trap();
        return 0;
    }
    // The bytes also serve as a path (up to their first zero).
    const std::string path(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    table.Find(path.c_str());
    for (size_t i = 0; i < table.GetStringCount(); ++i)
    {
        const GameString& string = table.GetString(i);
        for (uint32_t language = 0; language < kTextLanguageCount; ++language)
            for (uint32_t speaker = 0; speaker < 3; ++speaker)
                string.ResolveGenderTags(language, speaker, 1);
        GetSpeakerName(string.GetSpeaker());
    }
    return 0;
}
