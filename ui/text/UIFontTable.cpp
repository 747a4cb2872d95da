#include "ui/text/UIFontTable.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "ui/text/PayloadCursor.h"

UIFontTable* gUIFontTable = nullptr;

namespace
{
bool Refuse(const char* reason)
{
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Corrupt font table \"Fonts.Config\": %s", reason);
    return false;
}
} // namespace

UIFontTable::~UIFontTable()
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "UIFontTable destruct");
    Clear();
}

void UIFontTable::Clear()
{
    for (size_t i = 0; i < m_definitions.size(); ++i)
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "UIFontDefinition destruct");
    m_definitions.clear();
}

bool UIFontTable::LoadConfig()
{
    FileReader reader("Fonts.Config", nullptr, "Common", 0);
    if (!reader.IsOpen())
        return false;
    return Read(reader);
}

bool UIFontTable::Read(FileReader& reader)
{
    Clear();
    std::vector<uint8_t> payload;
    if (const char* why = ReadSizedPayload(reader, payload))
        return Refuse(why);
    return ReadPayload(payload.data(), payload.size());
}

bool UIFontTable::ReadPayload(const uint8_t* data, size_t size)
{
    Clear();
    PayloadCursor cursor(data, size);
    uint32_t count = 0;
    // The smallest definition is a 0 byte and two u32 counts.
    if (!cursor.Count(count, 9))
        return Refuse("the definitions are truncated");
    m_definitions.resize(count);
    for (UIFontDefinition& definition : m_definitions)
    {
        uint32_t sizes = 0;
        if (!cursor.Name(definition.font) || !cursor.U32(definition.outlineWidth) || !cursor.Count(sizes, 1))
        {
            Clear();
            return Refuse("a definition is truncated");
        }
        definition.supportedSizes.resize(sizes);
        cursor.Bytes(definition.supportedSizes.data(), sizes);
    }
    return true;
}

uint32_t UIFontTable::ChooseSize(const NameString& font, uint32_t outlineWidth, uint32_t size, float& scale) const
{
    for (const UIFontDefinition& definition : m_definitions)
    {
        if (!(definition.font == font) || definition.outlineWidth != outlineWidth)
            continue;
        const std::vector<uint8_t>& sizes = definition.supportedSizes;
        size_t above = 0;
        while (above < sizes.size() && sizes[above] <= size)
            ++above;
        if (sizes.empty() || above == 0)
            return size;
        if (above == sizes.size())
        {
            // Text wanted above the largest prepared size is drawn from the largest, enlarged by a
            // whole number of times, so glyphs stay on whole texels: 30 from 24 stays at 24.
            const uint32_t largest = sizes.back();
            if (largest == 0)
                return size;
            scale *= float(size / largest);
            return largest;
        }
        return sizes[above - 1];
    }
    return size;
}
