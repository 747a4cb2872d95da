#include "renderer/resources/ShaderDefinitions.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RTTIProperty.h"
#include "core/strings/StringUtils.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace
{
uint32_t ReadU32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// One open block of the text form: the object and the table its property lines go through.
struct OpenBlock
{
    enum Kind
    {
        FAMILY,
        OPTION,
        PARAMETER,
    };
    Kind kind;
    RTTIPolyBaseClass* object;
};

} // namespace

void ShaderDefinitions::Clear()
{
    for (ShaderFamily* family : m_families)
        delete family;
    m_families.Clear();
    m_stamp = 0;
}

void ShaderDefinitions::TakeFrom(ShaderDefinitions& other)
{
    Clear();
    for (ShaderFamily* family : other.m_families)
        m_families.Add(family);
    other.m_families.Clear();
    m_stamp = other.m_stamp;
    other.m_stamp = 0;
}

int32_t ShaderDefinitions::LowerBound(const char* name) const
{
    int32_t low = 0;
    int32_t high = m_families.Count();
    while (low < high)
    {
        const int32_t middle = (low + high) / 2;
        if (StrICmp(m_families[middle]->GetName(), name) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

ShaderFamily* ShaderDefinitions::Find(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    const int32_t index = LowerBound(name);
    if (index >= m_families.Count() || StrICmp(m_families[index]->GetName(), name) != 0)
        return nullptr;
    return m_families[index];
}

bool ShaderDefinitions::Add(ShaderFamily* family)
{
    const int32_t index = LowerBound(family->GetName());
    if (index < m_families.Count() && StrICmp(m_families[index]->GetName(), family->GetName()) == 0)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Shader family %s is defined twice", family->GetName());
        delete family;
        return false;
    }
    m_families.Insert(family, index);
    return true;
}

bool ShaderDefinitions::ReadBinary(const uint8_t* data, size_t size)
{
    if (data == nullptr || size < 16 || ReadU32(data) != kMagic)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Shaders.DefBin magic mismatch");
        return false;
    }
    ShaderDefinitions read;
    std::memcpy(&read.m_stamp, data + 4, 8);
    const uint32_t count = ReadU32(data + 12);
    size_t position = 16;
    // Each record needs at least its byte count.
    if (count > (size - position) / 4)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Shaders.DefBin claims %u families but holds %zu bytes", count, size);
        return false;
    }
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint32_t bytes = size - position >= 4 ? ReadU32(data + position) : 0xFFFFFFFFu;
        position = std::min(size, position + 4);
        ShaderFamily* family = new ShaderFamily;
        if (bytes > size - position || !family->DeserializeFromMemory(data + position, bytes, 0))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Shaders.DefBin: family record %u is corrupt", i);
            delete family;
            return false;
        }
        position += bytes;
        if (family->m_name.IsEmpty())
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Shaders.DefBin: family record %u has no name", i);
            delete family;
            return false;
        }
        if (!read.Add(family))
            return false;
    }
    TakeFrom(read);
    return true;
}

uint64_t ShaderDefinitions::HashText(const char* text, size_t length)
{
    uint64_t hash = 0xCBF29CE484222325ull;
    for (size_t i = 0; i < length; ++i)
    {
        hash ^= uint8_t(text[i]);
        hash *= 0x100000001B3ull;
    }
    return hash;
}

bool ShaderDefinitions::ReadText(const char* text, size_t length, const char* sourceName)
{
    ShaderDefinitions read;
    Dynarray<OpenBlock> open;
    ShaderFamily* family = nullptr;
    uint32_t lineNumber = 0;
    size_t position = 0;
    auto fail = [&](const char* reason, const std::string& detail) {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "%s(%u): %s %s", sourceName, lineNumber, reason, detail.c_str());
        delete family; // still open, not listed yet
        return false;
    };
    while (position < length)
    {
        size_t end = position;
        while (end < length && text[end] != '\n')
            ++end;
        const std::string line = TrimBlanks(std::string(text + position, end - position));
        position = end + 1;
        ++lineNumber;
        if (line.empty() || line[0] == '#')
            continue;
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
        {
            if (open.Count() == 0)
                return fail("property outside any block:", line);
            const std::string key = TrimBlanks(line.substr(0, equals));
            const std::string value = TrimBlanks(line.substr(equals + 1));
            RTTIPolyBaseClass* object = open[open.Count() - 1].object;
            const RTTIProperty* property = object->GetClassProperties()->FindProperty(key.c_str());
            if (property == nullptr || !property->HasTextForm() || !property->SetFromText(object, value.c_str()))
                return fail("unknown or unreadable property:", key);
            continue;
        }
        const size_t blank = line.find_first_of(" \t");
        const std::string word = line.substr(0, blank);
        const std::string name = blank == std::string::npos ? std::string() : TrimBlanks(line.substr(blank));
        const OpenBlock::Kind inner = open.Count() != 0 ? open[open.Count() - 1].kind : OpenBlock::FAMILY;
        if (word == "End" && name.empty())
        {
            if (open.Count() == 0)
                return fail("End without a block", "");
            open.RemoveAt(open.Count() - 1);
            if (open.Count() == 0)
            {
                family->SortOptions();
                ShaderFamily* done = family;
                family = nullptr;
                if (!read.Add(done))
                    return false;
            }
            continue;
        }
        if (name.empty())
            return fail("unknown line:", line);
        if (word == "Family" && open.Count() == 0)
        {
            family = new ShaderFamily;
            family->m_name.Set(name.c_str());
            open.Add({OpenBlock::FAMILY, family});
        }
        else if (word == "Option" && open.Count() == 1)
        {
            family->m_options.Resize(family->m_options.Count() + 1);
            ShaderOption& option = family->m_options[family->m_options.Count() - 1];
            option.m_name.Set(name.c_str());
            open.Add({OpenBlock::OPTION, &option});
        }
        else if (word == "Parameter" && open.Count() != 0 && inner != OpenBlock::PARAMETER)
        {
            DynarraySafe<ShaderParameterDefinition>& list =
                inner == OpenBlock::OPTION ? static_cast<ShaderOption*>(open[open.Count() - 1].object)->m_parameters
                                           : family->m_parameters;
            list.Resize(list.Count() + 1);
            ShaderParameterDefinition& parameter = list[list.Count() - 1];
            parameter.m_name.Set(name.c_str());
            open.Add({OpenBlock::PARAMETER, &parameter});
        }
        else
            return fail("misplaced line:", line);
    }
    if (open.Count() != 0)
        return fail("the text ends inside a block of", family->GetName());
    read.m_stamp = HashText(text, length);
    TakeFrom(read);
    return true;
}
