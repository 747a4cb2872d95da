#include "tools/datakit/RecordText.h"

#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/strings/StringUtils.h"

#include <sstream>

std::string RecordToText(const RTTIPolyBaseClass& object)
{
    const RTTIPropertiesBase* table = object.GetClassProperties();
    if (table == nullptr)
        return std::string();
    std::string out("# class ");
    out += table->GetClassName();
    out += '\n';
    // Matrices and long strings need room; a memory block prints what fits.
    static char text[65536];
    for (const RTTIPropertiesBase* part : table->GetClassChain())
    {
        out += '[';
        out += part->GetClassName();
        out += "]\n";
        for (const RTTIProperty* property : part->GetProperties())
        {
            const std::string& name = property->GetName();
            if (property->GetType() <= RTTI_TYPE_SEPARATOR)
            {
                out += "# ";
                out += name.empty() ? std::string("----") : name;
                out += '\n';
            }
            else if (!property->HasTextForm())
                out += "# " + name + ": kept from the base record (no text form)\n";
            else if (!name.empty() && property->ToText(&object, text, sizeof(text)))
                out += name + " = " + text + "\n";
        }
    }
    return out;
}

std::vector<std::string> PropertiesWithoutTextForm(const RTTIPolyBaseClass& object)
{
    std::vector<std::string> names;
    if (const RTTIPropertiesBase* table = object.GetClassProperties())
        for (const RTTIPropertiesBase* part : table->GetClassChain())
            for (const RTTIProperty* property : part->GetProperties())
                if (property->GetType() > RTTI_TYPE_SEPARATOR && !property->HasTextForm())
                    names.push_back(property->GetName());
    return names;
}

bool RecordFromText(RTTIPolyBaseClass& object, const std::string& text, std::string& error)
{
    const RTTIPropertiesBase* table = object.GetClassProperties();
    if (table == nullptr)
    {
        error = "the object has no property table";
        return false;
    }
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);)
    {
        ++number;
        const std::string trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed[0] == '#' || trimmed[0] == '[')
            continue;
        const size_t equals = trimmed.find('=');
        if (equals == std::string::npos)
        {
            error = "line " + std::to_string(number) + ": expected \"Name = value\"";
            return false;
        }
        const std::string name = TrimBlanks(trimmed.substr(0, equals));
        // The value keeps inner blanks; only the one blank after '=' is dropped.
        std::string value = trimmed.substr(equals + 1);
        if (!value.empty() && value[0] == ' ')
            value.erase(0, 1);
        const RTTIProperty* property = table->FindPropertyInClassChain(name.c_str());
        if (property == nullptr || !property->HasTextForm())
        {
            error = "line " + std::to_string(number) + ": no property \"" + name + "\" with a text form";
            return false;
        }
        if (!property->SetFromText(&object, value.c_str()))
        {
            error = "line " + std::to_string(number) + ": \"" + value + "\" is not a value of \"" + name + "\"";
            return false;
        }
    }
    return true;
}
