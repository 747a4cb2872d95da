// One entry of the string table: a text per language, the speaker and the editor notes, with the
// texts resolved per speaker and receiver gender cached beside them. A reflected class: its record
// is "Id", "Speaker", the eleven language texts by name, a separator "Misc" and the three notes.
// Main thread only.
#pragma once

#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/strings/NameString.h"

#include <cstdint>
#include <memory>
#include <string>

// Languages with a text of their own (0 "Polish" to 10 "Korean"); 11 in a lookup is the current one.
constexpr uint32_t kTextLanguageCount = 11;
constexpr uint32_t kCurrentLanguage = 11;
constexpr uint32_t kTextLanguagePolish = 0;
constexpr uint32_t kTextLanguageEnglish = 1;
// Gender values of a lookup: speaker's and receiver's.
constexpr uint32_t kGenderMale = 0;
constexpr uint32_t kGenderFemale = 1;
constexpr uint32_t kGenderNeutral = 2;
// Values of the "Speaker" enumeration.
constexpr uint32_t kSpeakerCount = 27;

// The "Speaker" enumeration's text of a value; null past the table.
const char* GetSpeakerName(uint32_t speaker);

// A localized string: one UTF-16 text per language (empty: none), speaker and notes.
class GameString : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(GameString, RTTIPolyBaseClass)

public:
    static constexpr uint32_t kNoteCount = 3;

    GameString() = default;
    GameString(GameString&&) noexcept = default;
    GameString& operator=(GameString&&) noexcept = default;

    NameString GetId() const { return m_id; }
    void SetId(const NameString& id) { m_id = id; }
    uint32_t GetSpeaker() const { return m_speaker; }
    void SetSpeaker(uint32_t speaker) { m_speaker = speaker; }
    // Null for a language without text or out of range.
    const char16_t* GetText(uint32_t language) const;
    // The stored text of a language (empty: none); `language` must be below kTextLanguageCount.
    const std::u16string& GetStoredText(uint32_t language) const { return m_texts[language]; }
    // Sets a language's text and forgets what was resolved from the old one.
    void SetText(uint32_t language, const std::u16string& text);
    const std::string& GetNote(uint32_t index) const { return m_notes[index]; }
    void SetNote(uint32_t index, const std::string& note) { m_notes[index] = note; }

    // The language's text with its gender tags resolved for the two genders; both neutral gives the
    // raw text. A bad tag logs an error and gives the raw text. Null without a text.
    const char16_t* ResolveGenderTags(uint32_t language, uint32_t speakerGender, uint32_t receiverGender) const;
    // A language's text changed by name ("Polish" ... "Korean"): its resolved texts are dropped.
    void OnPropertyChanged(const char* propertyName);
    void OnPropertyChanged(const RTTIProperty* property) override;

private:
    void ForgetResolved(uint32_t language);

    NameString m_id;
    uint32_t m_speaker = 0;
    std::u16string m_texts[kTextLanguageCount];
    std::string m_notes[kNoteCount];
    // [language][speaker gender][receiver gender]; filled on first resolution.
    mutable std::unique_ptr<std::u16string> m_resolved[kTextLanguageCount][2][2];
};
