#include "tools/datakit/CompoundTemplateWriter.h"

#include "scene/kinds/CompoundTemplate.h"
#include "tools/datakit/SceneWriter.h"

#include <sstream>

namespace
{
void Fill(CompoundTemplateElement& element, const CompoundElementSpec& spec)
{
    element.m_name = NameString(spec.name.c_str());
    element.m_templateName = NameString(spec.templateName.c_str());
    element.m_locationMatrix = spec.location;
    element.m_shaderPreset = NameString(spec.shaderPreset.c_str());
    element.m_animation = NameString(spec.animation.c_str());
    element.m_hidden = spec.hidden;
    element.m_hiddenInGame = spec.hiddenInGame;
    for (const CompoundElementSpec& child : spec.children)
        Fill(element.m_children[element.m_children.Add(CompoundTemplateElement())], child);
}

CompoundTemplateElement* FindByName(DynarraySafe<CompoundTemplateElement>& elements, const std::string& name)
{
    for (CompoundTemplateElement& element : elements)
    {
        if (name == element.m_name.CStr())
            return &element;
        if (CompoundTemplateElement* const found = FindByName(element.m_children, name))
            return found;
    }
    return nullptr;
}
} // namespace

namespace CompoundTemplateWriter
{
void AddElements(CompoundTemplate& compound, const std::vector<CompoundElementSpec>& elements)
{
    DynarraySafe<CompoundTemplateElement>& held = compound.EditElements();
    for (const CompoundElementSpec& spec : elements)
        Fill(held[held.Add(CompoundTemplateElement())], spec);
}

std::unique_ptr<CompoundTemplate> MakeTemplate(const std::vector<CompoundElementSpec>& elements)
{
    auto compound = std::make_unique<CompoundTemplate>();
    AddElements(*compound, elements);
    return compound;
}

std::vector<uint8_t> BuildBody(const std::vector<CompoundElementSpec>& elements, const SimpleGUID& guid)
{
    const std::unique_ptr<CompoundTemplate> compound = MakeTemplate(elements);
    return SceneWriter::BuildTemplateBody(*compound, guid, compound->GetTypeId());
}

bool AddElementOption(CompoundTemplate& compound, const std::string& option, std::string& error)
{
    std::istringstream words(option);
    CompoundElementSpec spec;
    std::string parent;
    if (!(words >> spec.name >> spec.templateName))
    {
        error = "element \"" + option + "\" needs a name and a template";
        return false;
    }
    std::vector<std::string> rest;
    for (std::string word; words >> word;)
        rest.push_back(word);
    size_t next = 0;
    if (rest.size() >= 3)
    {
        float position[3];
        bool numbers = true;
        for (int i = 0; i < 3 && numbers; ++i)
        {
            std::istringstream number(rest[size_t(i)]);
            numbers = static_cast<bool>(number >> position[i]) && number.peek() == EOF;
        }
        if (numbers)
        {
            spec.location.rows[3].Set(position[0], position[1], position[2], 1.0f);
            next = 3;
        }
    }
    for (; next < rest.size(); ++next)
    {
        const std::string& word = rest[next];
        if (word.rfind("preset=", 0) == 0)
            spec.shaderPreset = word.substr(7);
        else if (word.rfind("animation=", 0) == 0)
            spec.animation = word.substr(10);
        else if (word.rfind("parent=", 0) == 0)
            parent = word.substr(7);
        else if (word == "hidden")
            spec.hidden = true;
        else if (word == "hiddeningame")
            spec.hiddenInGame = true;
        else
        {
            error = "element \"" + option + "\" has an unknown word " + word;
            return false;
        }
    }
    if (parent.empty())
    {
        AddElements(compound, {spec});
        return true;
    }
    CompoundTemplateElement* const owner = FindByName(compound.EditElements(), parent);
    if (owner == nullptr)
    {
        error = "element \"" + option + "\" names no earlier element " + parent;
        return false;
    }
    Fill(owner->m_children[owner->m_children.Add(CompoundTemplateElement())], spec);
    return true;
}
} // namespace CompoundTemplateWriter
