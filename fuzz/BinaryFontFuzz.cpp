// Binary font files over arbitrary bytes, read the way the font resource reads them: a font that
// loads has sorted glyphs on pages it holds, and measures any text built from its own characters.
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "renderer/resources/ResourceFont.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace
{
// The "Common" folder for the whole run.
struct FuzzFolder
{
    FuzzFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "norvex-fontfuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr || !gFileSystem.MountDirectory("Common", pattern.c_str()))
            std::abort();
        folder = pattern;
        std::filesystem::create_directories(folder + "/Fonts");
    }
    ~FuzzFolder()
    {
        gFileSystem.UnmountAll();
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::string folder;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzFolder world;
    FILE* file = std::fopen((world.folder + "/Fonts/fuzz~010.BinFont").c_str(), "wb");
    if (file == nullptr)
        std::abort();
    if (size != 0)
        std::fwrite(data, 1, size, file);
    std::fclose(file);
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
