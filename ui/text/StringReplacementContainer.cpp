#include "ui/text/StringReplacementContainer.h"

#include "ui/text/StringManager.h"

#include <cstdio>

StringReplacementContainer gDefaultReplacementContainer;

void StringReplacementContainerInternals::Release()
{
    if (--m_references == 0)
        delete this;
}

TextReplacement& StringReplacementContainerInternals::FindOrAdd(const NameString& name)
{
    for (TextReplacement& variable : m_variables)
        if (variable.key == name)
            return variable;
    TextReplacement added;
    added.key = name;
    return m_variables[m_variables.Add(added)];
}

void StringReplacementContainerInternals::SetNarrow(const NameString& name, const char* text)
{
    TextReplacement& variable = FindOrAdd(name);
    variable.narrowText = text != nullptr ? text : "";
    variable.isWide = false;
    variable.wideText.clear();
}

void StringReplacementContainerInternals::SetWide(const NameString& name, const char16_t* text)
{
    TextReplacement& variable = FindOrAdd(name);
    variable.narrowText.clear();
    variable.wideText = text != nullptr ? text : u"";
    variable.isWide = !variable.wideText.empty();
}

StringReplacementContainerInternals* StringReplacementContainer::GetInternals()
{
    if (m_internals == nullptr)
        m_internals = new StringReplacementContainerInternals;
    return m_internals;
}

void StringReplacementContainer::Add(const char* name, const char* text)
{
    if (text == nullptr)
        return;
    GetInternals()->SetNarrow(NameString(name), text);
}

void StringReplacementContainer::AddInteger(const char* name, int32_t value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%d", value);
    Add(name, text);
}

void StringReplacementContainer::AddLocalized(const char* name, const char* path)
{
    if (gStringManager == nullptr)
        return;
    const char16_t* text = gStringManager->GetStringNeutral(path, kCurrentLanguage, nullptr, true, true);
    if (text == nullptr)
        return;
    GetInternals()->SetWide(NameString(name), text);
}

void StringReplacementContainer::Clear(bool release)
{
    if (m_internals == nullptr)
        return;
    m_internals->Clear();
    if (release)
    {
        m_internals->Release();
        m_internals = nullptr;
    }
}

std::u16string ExpandTextVariables(const char16_t* text, const StringReplacementContainerInternals* variables)
{
    static const TextReplacementTable kNoVariables;
    Dynarray<char16_t> expanded;
    if (text == nullptr)
        return std::u16string();
    AppendWithReplacements(expanded, text, variables != nullptr ? variables->GetVariables() : kNoVariables);
    return std::u16string(expanded.begin(), expanded.end());
}
