#include "ui/text/GameString.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIClass.h"
#include "engine/config/LanguageNames.h"

#include <cstring>
#include <type_traits>

namespace
{
// The "Speaker" enumeration's texts, null-terminated for the property.
const char* const kSpeakerNames[kSpeakerCount + 1] = {
    "none",           "szeregowiec",    "general",        "naukowiec",      "oddzial",      "pilot",
    "tanaka",         "VRsyntalk",      "KX_dowodca",     "KX_squad_A",     "KX_squad_B",   "KX_squad_C",
    "KX_naukowiec_A", "KX_naukowiec_B", "KX_naukowiec_C", "KX_naukowiec_D", "KX_pilot",     "KX_poise",
    "KX_aliens",      "vantu_Evans",    "vantu_Park",     "vantu_Morris",   "vantu_zolnierz", "vantu_pilot",
    "ZQM_Technological", "ZQM_Strategic", "ZQM_Hal", nullptr};

const char* const kGameStringNoteNames[GameString::kNoteCount] = {"Situation description", "Notes for actors",
                                                                   "Notes"};

// One language text or one note of a string, set through the string so that a new text drops
// what was resolved from the old one.
template <typename TText>
class GameStringSlotProperty final : public RTTITypedProperty<TText>
{
public:
    GameStringSlotProperty(const char* name, uint32_t slot) : RTTITypedProperty<TText>(name, nullptr, 0), m_slot(slot)
    {
    }
    const TText* GetValueAddress(const RTTIPolyBaseClass* object) const override
    {
        const GameString& string = *static_cast<const GameString*>(object);
        if constexpr (std::is_same_v<TText, std::u16string>)
            return &string.GetStoredText(m_slot);
        else
            return &string.GetNote(m_slot);
    }
    void SetValue(RTTIPolyBaseClass* object, const TText& value) const override
    {
        GameString& string = *static_cast<GameString*>(object);
        if constexpr (std::is_same_v<TText, std::u16string>)
            string.SetText(m_slot, value);
        else
            string.SetNote(m_slot, value);
    }

private:
    uint32_t m_slot;
};

// The offending tag text, narrowed for the log: one character, or the gender letter and one.
void ReportBadTag(char16_t gender, char16_t offending)
{
    char text[3] = {};
    size_t length = 0;
    if (gender != 0)
        text[length++] = char(gender);
    text[length] = offending < 0x100 ? char(offending) : '?';
    gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Invalid tag (%s)! Valid tags: m, f, mr, fr", text);
}

// Runs the tag state machine over `text`; false (error logged) on a bad tag.
bool ResolveTags(const char16_t* text, uint32_t speaker, uint32_t receiver, std::u16string& out)
{
    enum State { Plain, Open, Gender, Selected, Skipped };
    State state = Plain;
    uint32_t gender = 0;
    out.clear();
    auto writeUnlessDoubleSpace = [&out](char16_t c) {
        if (c == u' ' && !out.empty() && out.back() == u' ')
            return;
        out.push_back(c);
    };
    for (const char16_t* p = text; *p != 0; ++p)
    {
        const char16_t c = *p;
        switch (state)
        {
        case Plain:
            if (c == u'{')
                state = Open;
            else
                writeUnlessDoubleSpace(c);
            break;
        case Open:
            if (c == u'm' || c == u'M')
                gender = kGenderMale;
            else if (c == u'f' || c == u'F')
                gender = kGenderFemale;
            else
            {
                ReportBadTag(0, c);
                return false;
            }
            state = Gender;
            break;
        case Gender:
            if (c == u's' || c == u'S')
                state = speaker == gender ? Selected : Skipped;
            else if (c == u'r' || c == u'R')
                state = receiver == gender ? Selected : Skipped;
            else
            {
                ReportBadTag(gender == kGenderMale ? u'm' : u'f', c);
                return false;
            }
            break;
        case Selected:
            if (c == u'}')
                state = Plain;
            else if (c != u'|')
                writeUnlessDoubleSpace(c);
            break;
        case Skipped:
            if (c == u'}')
                state = Plain;
            break;
        }
    }
    return true;
}
} // namespace

RTTI_DEFINE_CLASS(GameString, RTTIPolyBaseClass)

void GameString::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = GameString;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Id", &C::m_id));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Speaker", &C::m_speaker,
                                                                     RTTI_PROPERTY_ENUMERATION))
        ->SetEnumerationNames(kSpeakerNames);
    for (uint32_t language = 0; language < kTextLanguageCount; ++language)
        table.AddProperty(new GameStringSlotProperty<std::u16string>(gLanguageNames[language], language));
    table.AddProperty(new RTTIPropertySeparator("Misc"));
    for (uint32_t note = 0; note < kNoteCount; ++note)
        table.AddProperty(new GameStringSlotProperty<std::string>(kGameStringNoteNames[note], note));
}

const char* GetSpeakerName(uint32_t speaker)
{
    return speaker < kSpeakerCount ? kSpeakerNames[speaker] : nullptr;
}

const char16_t* GameString::GetText(uint32_t language) const
{
    if (language >= kTextLanguageCount || m_texts[language].empty())
        return nullptr;
    return m_texts[language].c_str();
}

void GameString::SetText(uint32_t language, const std::u16string& text)
{
    if (language >= kTextLanguageCount)
        return;
    m_texts[language] = text;
    ForgetResolved(language);
}

void GameString::OnPropertyChanged(const char* propertyName)
{
    if (propertyName == nullptr)
        return;
    for (uint32_t language = 0; language < kTextLanguageCount; ++language)
        if (std::strcmp(propertyName, gLanguageNames[language]) == 0)
            ForgetResolved(language);
}

void GameString::OnPropertyChanged(const RTTIProperty* property)
{
    if (property != nullptr)
        OnPropertyChanged(property->GetName().c_str());
}

void GameString::ForgetResolved(uint32_t language)
{
    for (auto& bySpeaker : m_resolved[language])
        for (std::unique_ptr<std::u16string>& slot : bySpeaker)
            slot.reset();
}

const char16_t* GameString::ResolveGenderTags(uint32_t language, uint32_t speakerGender, uint32_t receiverGender) const
{
    const char16_t* text = GetText(language);
    if (text == nullptr)
        return nullptr;
    if (speakerGender == kGenderNeutral && receiverGender == kGenderNeutral)
        return text;
    // An unknown gender counts as male; values past neutral are treated the same way so the cache
    // index stays inside its two slots.
    const uint32_t speaker = speakerGender == kGenderFemale ? kGenderFemale : kGenderMale;
    const uint32_t receiver = receiverGender == kGenderFemale ? kGenderFemale : kGenderMale;
    std::unique_ptr<std::u16string>& slot = m_resolved[language][speaker][receiver];
    if (slot != nullptr)
        return slot->c_str();
    auto resolved = std::make_unique<std::u16string>();
    if (!ResolveTags(text, speaker, receiver, *resolved))
        return text;
    slot = std::move(resolved);
    return slot->c_str();
}
