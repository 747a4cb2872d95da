#include "tools/datakit/StringTableWriter.h"

#include "engine/config/LanguageNames.h"
#include "ui/text/GameString.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <sstream>

namespace
{
const char* const kNoteColumns[3] = {"Situation description", "Notes for actors", "Notes"};

void PutStringTableU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> cells;
    size_t start = 0;
    for (;;)
    {
        const size_t tab = line.find('\t', start);
        cells.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos)
            return cells;
        start = tab + 1;
    }
}

std::string Unescape(const std::string& cell)
{
    std::string out;
    for (size_t i = 0; i < cell.size(); ++i)
    {
        if (cell[i] == '\\' && i + 1 < cell.size())
        {
            const char next = cell[++i];
            out.push_back(next == 'n' ? '\n' : next == 't' ? '\t' : next);
        }
        else
            out.push_back(cell[i]);
    }
    return out;
}

bool ParseSpeaker(const std::string& cell, uint32_t& speaker)
{
    if (cell.empty())
    {
        speaker = 0;
        return true;
    }
    for (uint32_t value = 0; value < kSpeakerCount; ++value)
        if (cell == GetSpeakerName(value))
        {
            speaker = value;
            return true;
        }
    char* end = nullptr;
    speaker = uint32_t(std::strtoul(cell.c_str(), &end, 10));
    return end != nullptr && *end == 0;
}
} // namespace

namespace StringTableWriter
{
std::u16string Utf8ToUtf16(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();)
    {
        const uint8_t lead = uint8_t(text[i]);
        uint32_t code = 0xFFFD;
        size_t length = 1;
        if (lead < 0x80)
            code = lead;
        else if ((lead & 0xE0) == 0xC0)
            length = 2, code = lead & 0x1F;
        else if ((lead & 0xF0) == 0xE0)
            length = 3, code = lead & 0x0F;
        else if ((lead & 0xF8) == 0xF0)
            length = 4, code = lead & 0x07;
        if (length > 1)
        {
            bool valid = i + length <= text.size();
            for (size_t k = 1; valid && k < length; ++k)
            {
                const uint8_t next = uint8_t(text[i + k]);
                valid = (next & 0xC0) == 0x80;
                code = (code << 6) | (next & 0x3F);
            }
            if (!valid)
                code = 0xFFFD, length = 1;
        }
        if (code >= 0x10000)
        {
            code -= 0x10000;
            out.push_back(char16_t(0xD800 + (code >> 10)));
            out.push_back(char16_t(0xDC00 + (code & 0x3FF)));
        }
        else
            out.push_back(char16_t(code));
        i += length;
    }
    return out;
}

std::vector<uint8_t> EncodeStringTable(const std::vector<StringTableRow>& rows)
{
    std::vector<size_t> order(rows.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&rows](size_t a, size_t b) {
        return std::strcmp(rows[a].path.c_str(), rows[b].path.c_str()) < 0;
    });
    std::vector<uint8_t> paths;
    std::vector<uint32_t> offsets(rows.size());
    for (size_t index : order)
    {
        offsets[index] = uint32_t(paths.size());
        paths.insert(paths.end(), rows[index].path.begin(), rows[index].path.end());
        paths.push_back(0);
    }
    std::vector<uint8_t> payload;
    PutStringTableU32(payload, uint32_t(paths.size()));
    payload.insert(payload.end(), paths.begin(), paths.end());
    PutStringTableU32(payload, uint32_t(rows.size()));
    for (size_t index : order)
    {
        PutStringTableU32(payload, uint32_t(index));
        PutStringTableU32(payload, offsets[index]);
    }
    PutStringTableU32(payload, uint32_t(rows.size()));
    for (const StringTableRow& row : rows)
    {
        const size_t slash = row.path.rfind('/');
        const std::string id = slash == std::string::npos ? row.path : row.path.substr(slash + 1);
        if (id.empty())
            payload.push_back(0);
        else
        {
            payload.push_back(1);
            payload.insert(payload.end(), id.begin(), id.end());
            payload.push_back(0);
        }
        PutStringTableU32(payload, row.speaker);
        for (const std::u16string& text : row.texts)
        {
            for (char16_t unit : text)
            {
                payload.push_back(uint8_t(unit));
                payload.push_back(uint8_t(unit >> 8));
            }
            payload.push_back(0);
            payload.push_back(0);
        }
        for (const std::string& note : row.notes)
        {
            payload.insert(payload.end(), note.begin(), note.end());
            payload.push_back(0);
        }
    }
    // Sized first: growing an empty vector here makes g++ 12's optimiser warn of a copy into nothing.
    std::vector<uint8_t> file;
    file.reserve(4 + payload.size());
    PutStringTableU32(file, uint32_t(payload.size()));
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
}

bool ParseStringTableText(const std::string& text, std::vector<StringTableRow>& rows, std::string& error)
{
    rows.clear();
    std::istringstream lines(text);
    std::string line;
    std::vector<std::string> columns;
    for (int number = 1; std::getline(lines, line); ++number)
    {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> cells = SplitTabs(line);
        if (columns.empty())
        {
            columns = cells;
            if (std::find(columns.begin(), columns.end(), "Path") == columns.end())
            {
                error = "line " + std::to_string(number) + ": the header has no \"Path\" column";
                return false;
            }
            continue;
        }
        if (cells.size() > columns.size())
        {
            error = "line " + std::to_string(number) + ": more cells than columns";
            return false;
        }
        StringTableRow row;
        for (size_t i = 0; i < cells.size(); ++i)
        {
            const std::string& column = columns[i];
            const std::string cell = Unescape(cells[i]);
            const uint32_t language = LanguageIdFromName(column.c_str());
            if (column == "Path")
                row.path = cell;
            else if (column == "Speaker")
            {
                if (!ParseSpeaker(cell, row.speaker))
                {
                    error = "line " + std::to_string(number) + ": unknown speaker \"" + cell + "\"";
                    return false;
                }
            }
            else if (language < kTextLanguageCount)
                row.texts[language] = Utf8ToUtf16(cell);
            else
            {
                size_t note = 0;
                while (note < 3 && column != kNoteColumns[note])
                    ++note;
                if (note == 3)
                {
                    error = "line " + std::to_string(number) + ": unknown column \"" + column + "\"";
                    return false;
                }
                row.notes[note] = cell;
            }
        }
        if (row.path.empty())
        {
            error = "line " + std::to_string(number) + ": no path";
            return false;
        }
        rows.push_back(row);
    }
    return true;
}
} // namespace StringTableWriter
