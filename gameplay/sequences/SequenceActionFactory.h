// SequenceActionFactory (script global gSequenceActionFactory): the action classes the editor, the
// scene loader and the spawner can name. The built-in ones are entered in their fixed order at
// start-up; scripts declare classes of their own with typed parameters (each action of such a class
// is a LuaSequenceAction) and re-declare them in sync passes when they are reloaded. Emptied at
// engine shutdown. Main thread only.
#pragma once

#include "core/reflection/RTTIPropertiesBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class LuaSequenceAction;

// One action class known to the factory.
struct SequenceActionClassEntry
{
    // Parameter kinds, in the order an action's slots are laid out.
    enum ParamKind : uint32_t
    {
        PARAM_BOOL,
        PARAM_INT,
        PARAM_FLOAT,
        PARAM_STRING,
        PARAM_KIND_COUNT,
    };

    bool seen = false;
    int32_t classId = -1;
    int32_t categoryIndex = -1;
    std::string className;
    std::string baseClassName;
    bool zeroDefaultTime = false;
    bool scriptDefined = false;
    std::vector<std::string> params[PARAM_KIND_COUNT];
    std::vector<std::string> lookupParams;
    std::vector<LuaSequenceAction*> instances;
    std::unique_ptr<RTTIPropertiesBase> table;
};

// The registry of sequence action classes.
class SequenceActionFactory
{
public:
    SequenceActionFactory() = default;
    ~SequenceActionFactory();
    SequenceActionFactory(const SequenceActionFactory&) = delete;
    SequenceActionFactory& operator=(const SequenceActionFactory&) = delete;

    // Enters a built-in class by name (its id from the class registry); false when it is unknown.
    bool RegisterNativeActionClass(const char* className);
    int32_t RegisterLuaSequenceActionClass(const char* className, const char* baseClassName, bool zeroDefaultTime,
                                           const char* category);
    void AddLuaSequenceActionParam(int32_t classId, const char* name, const char* typeName);
    void AddSequenceActionLookupParamName(int32_t classId, const char* name);
    void BeginLuaActionsSync();
    void EndLuaActionsSync();
    bool IsOutdated() const { return m_outdated; }
    void SetOutdated(bool outdated) { m_outdated = outdated; }
    // Deletes every entry and category (engine shutdown).
    void Clear();

    SequenceActionClassEntry* FindEntry(int32_t classId);
    SequenceActionClassEntry* FindEntry(const char* className);
    const std::vector<std::unique_ptr<SequenceActionClassEntry>>& GetEntries() const { return m_entries; }
    const std::vector<std::string>& GetCategories() const { return m_categories; }

private:
    void MakeTable(SequenceActionClassEntry& entry);

    bool m_outdated = true;
    std::vector<std::unique_ptr<SequenceActionClassEntry>> m_entries;
    std::vector<std::string> m_categories;
};

extern SequenceActionFactory gSequenceActionFactory;
