// Binary font files over arbitrary bytes, read the way the font resource reads them: a font that
// loads has sorted glyphs on pages it holds, and measures any text built from its own characters.
#include "core/filesystem/FileReader.h"
#include "fuzz/support/MountedFuzzFolder.h"
#include "renderer/resources/ResourceFont.h"

#include <cstdint>
#include <filesystem>
#include <string>


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const MountedFuzzFolder common("Common", "fontfuzz");
    static const bool fontsFolder = std::filesystem::create_directories(common.GetPath() + "/Fonts");
    (void)fontsFolder;
    common.Write("Fonts/fuzz~010.BinFont", data, size);
    ResourceFont font("fuzz~010");
    FileReader reader("fuzz~010", "BinFont", "Common/Fonts", 0);
    if (!font.ReadBinaryFont(reader))
    {
        if (!font.GetGlyphs().empty() || !font.GetPageHeights().empty())
            __builtin_trap();
        return 0;
    }
    std::u16string text;
    const auto& glyphs = font.GetGlyphs();
    for (size_t i = 0; i < glyphs.size(); ++i)
    {
        if (glyphs[i].page >= font.GetPageHeights().size() || (i > 0 && glyphs[i].character <= glyphs[i - 1].character))
            __builtin_trap();
        if (glyphs[i].character != 0 && text.size() < 256)
            text.push_back(char16_t(glyphs[i].character));
        if (font.FindGlyph(char16_t(glyphs[i].character)) != int32_t(i))
            __builtin_trap();
    }
    font.GetTextExtent(text.c_str(), 1, -1, false);
    font.GetTextExtent(text.c_str(), -3, 5, true);
    return 0;
}
