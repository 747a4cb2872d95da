// Font table payloads ("Fonts.Config" after its size) over arbitrary bytes: a table that loads
// chooses a prepared size for every definition without reading past its sizes: never one above the
// wanted size, and any scale enlarges.
#include "ui/text/UIFontTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    UIFontTable table;
    if (!table.DeserializeFromMemory(data, size, 0))
    {
        if (!table.GetDefinitions().IsEmpty())
            __builtin_trap();
        return 0;
    }
    for (const UIFontDefinition& definition : table.GetDefinitions())
        for (uint32_t wanted : {0u, 9u, 24u, 255u})
        {
            float scale = 1.0f;
            const uint32_t chosen = table.ChooseSize(definition.font, definition.outlineWidth, wanted, scale);
            if (chosen > wanted || !(scale >= 1.0f))
                __builtin_trap();
        }
    return 0;
}
