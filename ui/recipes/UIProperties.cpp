#include "ui/recipes/UIProperties.h"

#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"
#include "core/strings/TextAppend.h"
#include "engine/config/ProjectConfig.h"
#include "platform/os/CodePage.h"
#include "ui/elements/UIElement.h"
#include "ui/text/GameString.h"
#include "ui/text/StringManager.h"
#include "ui/text/StringReplacementContainer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

UIProperties gUIProperties;

namespace
{
// Numbers are read from at most this many characters of the text.
constexpr size_t kNumberCharacters = 100;

// The text's leading number in the system code page; text that is no number reads as 0.
std::string NumberText(const std::u16string& text)
{
    char buffer[kNumberCharacters + 1] = "0";
    if (!text.empty())
        WideToMultiByte(buffer, sizeof(buffer), text.c_str(), std::min(text.size(), kNumberCharacters),
                        os::kCodePageSystem);
    return buffer;
}

int32_t ParseInteger(const std::u16string& text)
{
    return int32_t(std::strtol(NumberText(text).c_str(), nullptr, 10));
}

double ParseFloat(const std::u16string& text)
{
    return std::strtod(NumberText(text).c_str(), nullptr);
}
} // namespace

// ---- UIPropertyValue ----

void UIPropertyValue::AddListener(UIElement* element)
{
    m_listeners.Add(SafePointer<UIElement>(element));
    if (element->TakesInteger())
        m_integer = ParseInteger(m_text);
    if (element->TakesFloat())
        m_float = ParseFloat(m_text);
    if (element->TakesText())
    {
        m_listenerKinds |= kTakesText;
        element->ReceiveText(GetText());
    }
    if (element->TakesInteger())
    {
        m_listenerKinds |= kTakesInteger;
        element->ReceiveInteger(m_integer);
    }
    if (element->TakesFloat())
    {
        m_listenerKinds |= kTakesFloat;
        element->ReceiveFloat(m_float);
    }
}

void UIPropertyValue::SetText(std::u16string text)
{
    m_text = std::move(text);
    m_hasText = true;
    if (m_listenerKinds & kTakesInteger)
        m_integer = ParseInteger(m_text);
    if (m_listenerKinds & kTakesFloat)
        m_float = ParseFloat(m_text);
    Notify();
}

void UIPropertyValue::Notify()
{
    bool removed = false;
    for (int32_t i = m_listeners.Count() - 1; i >= 0; --i)
        if (!m_listeners[i])
        {
            m_listeners.RemoveAt(i);
            removed = true;
        }
    if (removed)
    {
        m_listenerKinds = 0;
        for (const SafePointer<UIElement>& listener : m_listeners)
            m_listenerKinds |= (listener->TakesText() ? kTakesText : 0) | (listener->TakesInteger() ? kTakesInteger : 0) |
                               (listener->TakesFloat() ? kTakesFloat : 0);
    }
    if (m_listenerKinds & kTakesText)
        for (const SafePointer<UIElement>& listener : m_listeners)
            if (listener->TakesText())
                listener->ReceiveText(GetText());
    if (m_listenerKinds & kTakesInteger)
        for (const SafePointer<UIElement>& listener : m_listeners)
            if (listener->TakesInteger())
                listener->ReceiveInteger(m_integer);
    if (m_listenerKinds & kTakesFloat)
        for (const SafePointer<UIElement>& listener : m_listeners)
            if (listener->TakesFloat())
                listener->ReceiveFloat(m_float);
}

// ---- UIProperties ----

int32_t UIProperties::Search(const char* name, bool& found) const
{
    int32_t low = 0;
    int32_t high = m_values.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        const int order = std::strcmp(m_values[middle]->GetName().CStr(), name);
        if (order == 0)
        {
            found = true;
            return middle;
        }
        if (order < 0)
            low = middle + 1;
        else
            high = middle;
    }
    found = false;
    return low;
}

UIPropertyValue* UIProperties::Find(const char* name) const
{
    bool found;
    const int32_t index = Search(name != nullptr ? name : "", found);
    return found ? m_values[index] : nullptr;
}

UIPropertyValue* UIProperties::FindOrCreate(const NameString& name)
{
    bool found;
    const int32_t index = Search(name.CStr(), found);
    if (found)
        return m_values[index];
    bool listed = false;
    for (const NameString& allowed : gProjectConfig.m_uiPropertyNames)
        listed = listed || std::strcmp(allowed.CStr(), name.CStr()) == 0;
    if (!listed)
        gConsole.Error(CONSOLE_CHANNEL_REPORT, "%s doesn't exist in project config uipropertynames", name.CStr());
    UIPropertyValue* value = new UIPropertyValue(name);
    m_values.Insert(value, index);
    return value;
}

void UIProperties::Bind(const NameString& name, UIElement* element)
{
    if (element != nullptr)
        FindOrCreate(name)->AddListener(element);
}

void UIProperties::SetText(const char* name, const char* value)
{
    Dynarray<char16_t> wide;
    AppendAsciiString(wide, value != nullptr ? value : "");
    // A name no element was bound to has no record: the value is dropped without a word.
    if (UIPropertyValue* const record = Find(name))
        record->SetText(std::u16string(wide.Data(), size_t(wide.Count())));
}

void UIProperties::SetTextLocalized(const char* name, const char* path)
{
    if (gStringManager == nullptr)
        return;
    const char16_t* text = gStringManager->GetStringNeutral(path, kCurrentLanguage, nullptr, true, true);
    if (text == nullptr)
        return;
    if (UIPropertyValue* const record = Find(name))
        record->SetText(ExpandTextVariables(text, gDefaultReplacementContainer.PeekInternals()));
}

void UIProperties::Clear()
{
    m_values.DeleteAllPointers();
}
