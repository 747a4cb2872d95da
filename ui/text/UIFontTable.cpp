#include "ui/text/UIFontTable.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/reflection/RTTIClass.h"

UIFontTable* gUIFontTable = nullptr;

RTTI_DEFINE_CLASS(UIFontDefinition, RTTIPolyBaseClass)

void UIFontDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIFontDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Font", &C::font));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Outline width", &C::outlineWidth));
    table.AddProperty(new RTTIDynarrayProperty<C, uint8_t>("Supported sizes", &C::supportedSizes));
}

UIFontDefinition::UIFontDefinition(const NameString& fontName, uint32_t outline, std::initializer_list<uint8_t> sizes)
    : font(fontName), outlineWidth(outline)
{
    for (const uint8_t size : sizes)
        supportedSizes.Add(size);
}

RTTI_DEFINE_CLASS(UIFontTable, RTTIPolyBaseClass)

void UIFontTable::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = UIFontTable;
    table.AddProperty(
        new RTTIDynarrayOfEmbeddedObjectsProperty<C, UIFontDefinition>("Font definitions", &C::m_definitions));
}

UIFontTable::~UIFontTable()
{
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "UIFontTable destruct");
    Clear();
}

void UIFontTable::Clear()
{
    for (int32_t i = 0; i < m_definitions.Count(); ++i)
        gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_GENERAL, "UIFontDefinition destruct");
    m_definitions.FreeStorage();
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
    // Records are read whole or not at all: a refused one leaves the table empty.
    if (SolidDeserializeFromFileReader(reader, 0))
        return true;
    gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                   "Corrupt font table \"Fonts.Config\": the record is truncated or malformed");
    return false;
}

uint32_t UIFontTable::ChooseSize(const NameString& font, uint32_t outlineWidth, uint32_t size, float& scale) const
{
    for (const UIFontDefinition& definition : m_definitions)
    {
        if (!(definition.font == font) || definition.outlineWidth != outlineWidth)
            continue;
        const Dynarray<uint8_t>& sizes = definition.supportedSizes;
        int32_t above = 0;
        while (above < sizes.Count() && sizes[above] <= size)
            ++above;
        if (sizes.IsEmpty() || above == 0)
            return size;
        if (above == sizes.Count())
        {
            // Text wanted above the largest prepared size is drawn from the largest, enlarged by a
            // whole number of times, so glyphs stay on whole texels: 30 from 24 stays at 24.
            const uint32_t largest = sizes[sizes.Count() - 1];
            // A prepared size of 0 (a damaged table) gives no ratio to enlarge by: the wanted size stays.
            if (largest == 0)
                return size;
            scale *= float(size / largest);
            return largest;
        }
        return sizes[above - 1];
    }
    return size;
}
