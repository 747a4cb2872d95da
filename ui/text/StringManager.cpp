#include "ui/text/StringManager.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/reflection/RTTIClass.h"
#include "core/strings/CaseTable.h"
#include "core/strings/StringUtils.h"
#include "engine/config/EngineConfig.h"
#include "engine/config/LanguageNames.h"
#include "engine/config/ProjectConfig.h"
#include "platform/steam/Steam.h"

#include <cstring>

StringManager* gStringManager = nullptr;

namespace
{
// The English bit of the project's "Language mask".
constexpr uint32_t kEnglishMaskBit = 1u << kTextLanguageEnglish;

void MarkWithCase(char16_t c, std::bitset<65536>& characters)
{
    characters.set(c);
    for (size_t i = 0; i < kCaseTableSize; ++i)
    {
        if (kCaseTable[i].lower == c)
            characters.set(kCaseTable[i].upper);
        else if (kCaseTable[i].upper == c)
            characters.set(kCaseTable[i].lower);
    }
}

void CollectGroup(const GameStringGroup& group, uint32_t language, std::bitset<65536>& characters)
{
    for (const GameStringGroup* child : group.GetGroups())
        if (child != nullptr)
            CollectGroup(*child, language, characters);
    for (const GameString* string : group.GetStrings())
    {
        if (string == nullptr)
            continue;
        const char16_t* text = string->GetText(language);
        if (text == nullptr)
            text = string->GetText(kTextLanguageEnglish);
        if (text == nullptr)
            text = string->GetText(kTextLanguagePolish);
        for (const char16_t* p = text; p != nullptr && *p != 0; ++p)
            MarkWithCase(*p, characters);
    }
}
} // namespace

RTTI_DEFINE_CLASS(StringManager, RTTIPolyBaseClass)

void StringManager::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = StringManager;
    table.AddProperty(new RTTIEmbeddedObjectProperty<C, GameStringGroup>("RootGroup", &C::m_root));
}

StringManager::StringManager(const EngineConfig* userConfig) : m_userConfig(userConfig)
{
    SelectSteamLanguage();
}

void StringManager::OnPostLoad(uint32_t)
{
    ++m_changeCounter;
}

void StringManager::SelectSteamLanguage()
{
    // Read as signed: a stored 0xFFFFFFFF means "choose", never language -1.
    const uint32_t configured = gProjectConfig.m_defaultLanguage;
    if (configured < kTextLanguageCount)
    {
        m_language = configured;
        return;
    }
    const uint32_t mask = gProjectConfig.m_languageMask;
    m_language = kTextLanguageEnglish;
    if ((mask & kEnglishMaskBit) == 0)
        for (uint32_t language = 0; language < kTextLanguageCount; ++language)
            if ((mask & (1u << language)) != 0)
            {
                m_language = language;
                break;
            }
    steam::Apps* apps = steam::GetApps();
    const char* name = apps != nullptr ? apps->GetCurrentGameLanguage() : nullptr;
    if (name == nullptr)
        return;
    for (uint32_t language = 0; language < kTextLanguageCount; ++language)
        if ((mask & (1u << language)) != 0 && StrICmp(gLanguageNames[language], name) == 0)
        {
            m_language = language;
            break;
        }
    gConsole.Printf(CONSOLE_MESSAGE, CONSOLE_CHANNEL_ENGINE, "Steam language: %s (%d)", name, int(m_language));
}

uint32_t StringManager::GetCurrentLanguage() const
{
    if (m_userConfig != nullptr && m_userConfig->m_textLanguage < kTextLanguageCount)
        return m_userConfig->m_textLanguage;
    return m_language;
}

bool StringManager::LoadCompiledStrings()
{
    FileReader reader("L01n.bin", nullptr, "Common", 0);
    if (!reader.IsOpen())
        return false;
    ++m_loadCount;
    m_compiled = std::make_unique<CompiledGameStringCollection>();
    if (!m_compiled->Read(reader))
    {
        // The strings of a refused table are gone; lookups fail rather than read a half table.
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "The string table \"L01n.bin\" could not be loaded");
        return false;
    }
    return true;
}

bool StringManager::LoadStrings()
{
    ++m_loadCount;
    m_root.Clear();
    ++m_changeCounter;
    m_compiled.reset();
    gConsole.Printf(CONSOLE_PRINT, CONSOLE_CHANNEL_ENGINE, "Loading localization strings");
    ++m_changeCounter;
    return false;
}

bool StringManager::ReloadStrings()
{
    if (m_compiled != nullptr)
        return LoadCompiledStrings();
    return LoadStrings();
}

const GameString* StringManager::FindStringByPath(const char* path) const
{
    if (path == nullptr)
        return nullptr;
    if (m_compiled != nullptr)
        return m_compiled->Find(path);
    return FindInTree(path);
}

const GameString* StringManager::FindInTree(const char* path) const
{
    const GameStringGroup* group = &m_root;
    const char* component = path;
    for (;;)
    {
        const char* slash = std::strchr(component, '/');
        if (slash == nullptr)
            return group->FindString(component, std::strlen(component), m_changeCounter);
        group = group->FindGroup(component, size_t(slash - component), m_changeCounter);
        if (group == nullptr)
            return nullptr;
        component = slash + 1;
    }
}

const char16_t* StringManager::GetString(const char* path, uint32_t speakerGender, uint32_t receiverGender,
                                         uint32_t language, const char** speaker, bool fallback, bool log) const
{
    if (language == kCurrentLanguage)
        language = GetCurrentLanguage();
    if (language >= kTextLanguageCount || path == nullptr)
        return nullptr;
    const GameString* string = FindStringByPath(path);
    const char16_t* text = nullptr;
    if (string != nullptr)
    {
        text = string->ResolveGenderTags(language, speakerGender, receiverGender);
        if (text == nullptr && fallback)
            text = string->ResolveGenderTags(kTextLanguageEnglish, speakerGender, receiverGender);
        if (text == nullptr && fallback)
            text = string->ResolveGenderTags(kTextLanguagePolish, speakerGender, receiverGender);
    }
    else if (log)
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to find string: %s", path);
    if (speaker != nullptr)
        *speaker = string != nullptr ? GetSpeakerName(string->GetSpeaker()) : nullptr;
    return text;
}

void StringManager::CollectCharacters(uint32_t language, std::bitset<65536>& characters) const
{
    CollectGroup(m_root, language, characters);
}
