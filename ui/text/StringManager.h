// Localized strings: every text the player reads is looked up here by a '/'-separated path, a
// language and a speaker and receiver gender. The shipped table is the compiled "L01n.bin" in
// "Common", read once at engine start; when none is loaded, lookups walk the editable tree of
// groups (empty in the game). The language is the user's "Text language" when it names one, else
// the one chosen at start from the project's "Default language", its "Language mask" and the game
// client's language. Texts returned stay owned by the table until the next load.
//
// A reflected class: its record is the tree ("RootGroup"); the compiled table, the counter and the
// language are not stored. Main thread only; no locks.
#pragma once

#include "ui/text/CompiledGameStringCollection.h"
#include "ui/text/GameStringGroup.h"

#include <bitset>
#include <cstdint>
#include <memory>

class EngineConfig;

// The string table, its language and its lookups (script global gStringManager).
class StringManager : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(StringManager, RTTIPolyBaseClass)

public:
    // Chooses the language at once. `userConfig` gives the "Text language" (null: none).
    explicit StringManager(const EngineConfig* userConfig = nullptr);
    StringManager(const StringManager&) = delete;
    StringManager& operator=(const StringManager&) = delete;

    // The language choice from the project configuration and the game client.
    void SelectSteamLanguage();
    uint32_t GetChosenLanguage() const { return m_language; }
    // The user's text language when it names one, else the chosen language.
    uint32_t GetCurrentLanguage() const;

    // Replaces the table with "L01n.bin" from "Common" when the file opens; a corrupt file is
    // refused (logged) and leaves no table. True when a table was loaded.
    bool LoadCompiledStrings();
    // The editor-mode loader: empties the tree and the compiled table; it reads no source.
    bool LoadStrings();
    // After a change of language: the loaded table is read again (the game's compiled table is
    // kept rather than emptied, so text stays readable); without one, LoadStrings.
    bool ReloadStrings();
    // Counts loads: texts returned before a load may be gone after it.
    uint32_t GetLoadCount() const { return m_loadCount; }

    const GameString* FindStringByPath(const char* path) const;
    // The text of `path` in `language` (11: the current one) for the genders, with English and then
    // Polish tried when `fallback` is set. Null when missing; `log` reports a missing path.
    // `speaker` (when given) receives the speaker's enumeration text, or null when not found.
    const char16_t* GetString(const char* path, uint32_t speakerGender, uint32_t receiverGender, uint32_t language,
                              const char** speaker, bool fallback, bool log) const;
    const char16_t* GetStringNeutral(const char* path, uint32_t language, const char** speaker, bool fallback,
                                     bool log) const
    {
        return GetString(path, kGenderNeutral, kGenderNeutral, language, speaker, fallback, log);
    }

    // Marks every character the tree's strings use in `language` (else English, else Polish), with
    // the case counterpart of each.
    void CollectCharacters(uint32_t language, std::bitset<65536>& characters) const;

    GameStringGroup& GetRootGroup() { return m_root; }
    // The tree changed: lookups sort the groups again.
    void MarkTreeChanged() { ++m_changeCounter; }
    // A read tree is a rebuilt one.
    void OnPostLoad(uint32_t flags) override;
    const CompiledGameStringCollection* GetCompiledCollection() const { return m_compiled.get(); }

private:
    const GameString* FindInTree(const char* path) const;

    const EngineConfig* m_userConfig;
    GameStringGroup m_root;
    uint32_t m_changeCounter = 0;
    std::unique_ptr<CompiledGameStringCollection> m_compiled;
    uint32_t m_language = kTextLanguageEnglish;
    uint32_t m_loadCount = 0;
};

// The engine's string manager between start-up and shutdown; null otherwise.
extern StringManager* gStringManager;
