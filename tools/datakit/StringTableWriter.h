// The compiled string table ("L01n.bin") from rows of path, speaker and per-language texts, and
// the tab-separated text those rows are written in. Any thread; no shared state.
//
// Text form: the first line names the columns: "Path", optionally "Speaker" (an enumeration text
// or a number), any of the language names ("English", "Polish", ...) and the notes columns
// "Situation description", "Notes for actors", "Notes". Each further line is one string; cells
// are UTF-8, and "\n", "\t" and "\\" in a cell stand for a line feed, a tab and a backslash.
// Empty lines and lines starting with "#" are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One string of the table.
struct StringTableRow
{
    std::string path;
    uint32_t speaker = 0;
    std::u16string texts[11];
    std::string notes[3];
};

namespace StringTableWriter
{
// The whole file: the u32 payload size, then paths, entries sorted by path and the strings in
// the order given.
std::vector<uint8_t> EncodeStringTable(const std::vector<StringTableRow>& rows);
// Rows from the text form; false with a reason naming the line on a malformed text.
bool ParseStringTableText(const std::string& text, std::vector<StringTableRow>& rows, std::string& error);
// UTF-8 to UTF-16 (surrogate pairs above U+FFFF; a malformed byte becomes U+FFFD).
std::u16string Utf8ToUtf16(const std::string& text);
} // namespace StringTableWriter
