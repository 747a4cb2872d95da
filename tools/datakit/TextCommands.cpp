// "datakit strings" (a string table from its tab-separated text) and "datakit font" (a binary font
// rendered from a TrueType file, or synthetic glyphs of fixed metrics).
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/FontRasterizer.h"
#include "tools/datakit/FontWriter.h"
#include "tools/datakit/InputFile.h"
#include "tools/datakit/NumberArgument.h"
#include "tools/datakit/StringTableWriter.h"

#include <cstdio>
#include <fstream>

namespace
{
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        std::fprintf(stderr, "datakit: cannot write %s\n", path.c_str());
    return bool(out);
}
} // namespace

int RunStringsCommand(const std::vector<std::string>& arguments)
{
    if (arguments.size() != 2)
        return 2;
    std::string text;
    if (!ReadInputFile(arguments[0], text))
        return 1;
    std::vector<StringTableRow> rows;
    std::string error;
    if (!StringTableWriter::ParseStringTableText(text, rows, error))
    {
        std::fprintf(stderr, "datakit: %s: %s\n", arguments[0].c_str(), error.c_str());
        return 1;
    }
    return WriteBytes(arguments[1], StringTableWriter::EncodeStringTable(rows)) ? 0 : 1;
}

int RunFontCommand(const std::vector<std::string>& arguments)
{
    std::string out;
    std::string ttf = FontRasterizer::kDefaultFontPath;
    uint32_t size = 0;
    bool synthetic = false;
    for (size_t i = 0; i < arguments.size(); ++i)
    {
        if (arguments[i] == "--ttf" && i + 1 < arguments.size())
            ttf = arguments[++i];
        else if (arguments[i] == "--synthetic")
            synthetic = true;
        else if (out.empty())
            out = arguments[i];
        else if (size == 0 && !ParseNumberArgument("<pixel size>", arguments[i], 1, 255, size))
            return 2;
    }
    if (out.empty() || size == 0)
        return 2;
    std::u16string characters;
    for (char16_t c = 32; c < 256; ++c)
        if (c < 127 || c >= 160)
            characters.push_back(c);
    BinaryFontSpec font;
    std::string error;
    if (synthetic)
    {
        SyntheticFontMetrics metrics;
        metrics.advance = uint8_t(size / 2 + 1);
        metrics.drawnWidth = uint16_t(size / 2);
        metrics.height = uint16_t(size);
        metrics.lineHeight = size + 2;
        font = FontWriter::MakeSyntheticFont(characters, metrics);
    }
    else if (!FontRasterizer::RenderFont(ttf, size, characters, font, error))
    {
        std::fprintf(stderr, "datakit: %s\n", error.c_str());
        return 1;
    }
    return WriteBytes(out, FontWriter::EncodeBinaryFont(font)) ? 0 : 1;
}
