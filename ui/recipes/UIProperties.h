// UIProperties: named text values that scripts publish and any number of UI elements show (a
// score, a player name). A text recipe binds its element to a name when the element is built; every
// SetText on the name then reaches all bound elements, in binding order. Records live until Clear,
// also when all their elements have died. Script class "UIProperties", global gUIProperties.
// Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/strings/NameString.h"
#include "engine/scripting/LuaBaseClass.h"

#include <cstdint>
#include <string>

class UIElement;

// One named value and the elements that show it.
class UIPropertyValue
{
public:
    // Listener kinds.
    static constexpr uint32_t kTakesText = 0x1;
    static constexpr uint32_t kTakesFloat = 0x2;
    static constexpr uint32_t kTakesInteger = 0x4;

    explicit UIPropertyValue(const NameString& name) : m_name(name) {}

    const NameString& GetName() const { return m_name; }
    uint32_t GetListenerKinds() const { return m_listenerKinds; }
    // Null until the first value arrives.
    const char16_t* GetText() const { return m_hasText ? m_text.c_str() : nullptr; }
    int32_t GetInteger() const { return m_integer; }
    double GetFloat() const { return m_float; }
    int32_t GetListenerCount() const { return m_listeners.Count(); }

    // Delivers the current values to the element only, and keeps it as a listener.
    void AddListener(UIElement* element);
    // Stores a new text (and the numbers that listeners take) and tells every live listener.
    void SetText(std::u16string text);

private:
    void Notify();

    NameString m_name;
    uint32_t m_listenerKinds = 0;
    bool m_hasText = false;
    std::u16string m_text;
    int32_t m_integer = 0;
    double m_float = 0.0;
    SafePointerArray<UIElement> m_listeners;
};

// The named values, sorted by name in byte order.
class UIProperties : public LuaBaseClass
{
public:
    UIProperties() = default;
    ~UIProperties() override { Clear(); }
    UIProperties(const UIProperties&) = delete;
    UIProperties& operator=(const UIProperties&) = delete;

    const char* GetScriptClassName() const override { return "UIProperties"; }

    // Makes the element a listener of the name (creating its record) and shows it the current value.
    void Bind(const NameString& name, UIElement* element);
    // The narrow text (system code page) becomes the value of the name.
    void SetText(const char* name, const char* value);
    // The localized text of the path, with the default text variables filled in.
    void SetTextLocalized(const char* name, const char* path);
    // Destroys every record.
    void Clear();

    // The record of the name, or null.
    UIPropertyValue* Find(const char* name) const;
    int32_t GetCount() const { return m_values.Count(); }

private:
    // Where the name is, or where it would go (found false).
    int32_t Search(const char* name, bool& found) const;
    // The record of the name, made (and its name checked against the project's list) when missing.
    UIPropertyValue* FindOrCreate(const NameString& name);

    Dynarray<UIPropertyValue*> m_values;
};

extern UIProperties gUIProperties;
