// Text variables: localized texts name variables between two "^" characters, and a container of
// variables gives them their values. Containers are small handles to shared internals that text
// elements hold too, so every element that refers to one set of variables shows the same values.
// Main thread only; the reference count is not atomic.
#pragma once

#include "core/strings/NameString.h"
#include "core/strings/TextAppend.h"

#include <cstdint>
#include <string>

// The shared, reference-counted variable list.
class StringReplacementContainerInternals
{
public:
    void AddRef() { ++m_references; }
    // Deletes the internals at zero.
    void Release();
    uint32_t GetReferenceCount() const { return m_references; }

    // Replaces the variable of the same name in place, else appends it: a narrow value from Add, or
    // a wide value from AddLocalized.
    void SetNarrow(const NameString& name, const char* text);
    void SetWide(const NameString& name, const char16_t* text);
    void Clear() { m_variables.Clear(); }
    const TextReplacementTable& GetVariables() const { return m_variables; }

private:
    TextReplacement& FindOrAdd(const NameString& name);

    uint32_t m_references = 1;
    TextReplacementTable m_variables;
};

// A handle to a set of variables (script class "StringReplacementContainer").
class StringReplacementContainer
{
public:
    StringReplacementContainer() = default;
    ~StringReplacementContainer() { Clear(true); }
    StringReplacementContainer(const StringReplacementContainer&) = delete;
    StringReplacementContainer& operator=(const StringReplacementContainer&) = delete;

    // A null text does nothing.
    void Add(const char* name, const char* text);
    void AddInteger(const char* name, int32_t value);
    // The localized text of `path` in the current language; nothing when it is missing.
    void AddLocalized(const char* name, const char* path);
    // Deletes every variable; with `release` also drops this handle's reference to the internals.
    void Clear(bool release);
    void ClearVariables() { Clear(false); }
    // The internals, created on first use with one reference (this handle's).
    StringReplacementContainerInternals* GetInternals();
    const StringReplacementContainerInternals* PeekInternals() const { return m_internals; }

private:
    StringReplacementContainerInternals* m_internals = nullptr;
};

// The program's default variables (script global gDefaultReplacementContainer).
extern StringReplacementContainer gDefaultReplacementContainer;

// `text` with every "^name^" replaced by the variable's value (unknown or bad names give nothing, an
// unclosed "^" drops the rest). Null variables expand nothing.
std::u16string ExpandTextVariables(const char16_t* text, const StringReplacementContainerInternals* variables);
