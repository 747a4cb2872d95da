#include "gameplay/sequences/SequenceActionFactory.h"

#include "core/reflection/RTTIClassRegistry.h"
#include "core/reflection/RTTITypedProperty.h"
#include "gameplay/sequences/LuaSequenceAction.h"

#include <cstring>

SequenceActionFactory gSequenceActionFactory;

namespace
{
// A parameter of a script-declared class, found in the action's slots by name and kind: a get
// without a slot reads zero, a set without one changes nothing.
template <typename TValue, uint32_t kKind>
class LuaParamProperty : public RTTITypedProperty<TValue>
{
public:
    explicit LuaParamProperty(const char* name) : RTTITypedProperty<TValue>(name, nullptr, 0) {}

    const TValue* GetValueAddress(const RTTIPolyBaseClass* object) const override
    {
        static const TValue zero{};
        const auto* action = dynamic_cast<const LuaSequenceAction*>(object);
        const LuaSequenceAction::Param* param = action != nullptr ? action->FindParam(this->GetName(), kKind) : nullptr;
        return param != nullptr ? &Field(*const_cast<LuaSequenceAction::Param*>(param)) : &zero;
    }
    void SetValue(RTTIPolyBaseClass* object, const TValue& value) const override
    {
        auto* action = dynamic_cast<LuaSequenceAction*>(object);
        if (LuaSequenceAction::Param* param = action != nullptr ? action->FindParam(this->GetName(), kKind) : nullptr)
            Field(*param) = value;
    }

private:
    static TValue& Field(LuaSequenceAction::Param& param)
    {
        if constexpr (kKind == SequenceActionClassEntry::PARAM_BOOL)
            return param.boolValue;
        else if constexpr (kKind == SequenceActionClassEntry::PARAM_INT)
            return param.intValue;
        else if constexpr (kKind == SequenceActionClassEntry::PARAM_FLOAT)
            return param.floatValue;
        else
            return param.textValue;
    }
};

RTTIProperty* MakeParamProperty(uint32_t kind, const char* name)
{
    switch (kind)
    {
    case SequenceActionClassEntry::PARAM_BOOL:
        return new LuaParamProperty<bool, SequenceActionClassEntry::PARAM_BOOL>(name);
    case SequenceActionClassEntry::PARAM_INT:
        return new LuaParamProperty<int32_t, SequenceActionClassEntry::PARAM_INT>(name);
    case SequenceActionClassEntry::PARAM_FLOAT:
        return new LuaParamProperty<float, SequenceActionClassEntry::PARAM_FLOAT>(name);
    default:
        return new LuaParamProperty<std::string, SequenceActionClassEntry::PARAM_STRING>(name);
    }
}

int32_t KindOfTypeName(const char* typeName)
{
    const char* const names[] = {"bool", "int", "float", "string"};
    for (int32_t kind = 0; kind < 4; ++kind)
        if (typeName != nullptr && std::strcmp(typeName, names[kind]) == 0)
            return kind;
    return -1;
}

// The slot kind of a property type (bool 20, int 10, float 9, text 13), or -1.
int32_t KindOfPropertyType(uint32_t type)
{
    switch (type)
    {
    case RTTI_TYPE_BOOL:
        return SequenceActionClassEntry::PARAM_BOOL;
    case RTTI_TYPE_INT:
        return SequenceActionClassEntry::PARAM_INT;
    case RTTI_TYPE_FLOAT:
        return SequenceActionClassEntry::PARAM_FLOAT;
    case RTTI_TYPE_STRING:
        return SequenceActionClassEntry::PARAM_STRING;
    default:
        return -1;
    }
}
} // namespace

SequenceActionFactory::~SequenceActionFactory()
{
    Clear();
}

SequenceActionClassEntry* SequenceActionFactory::FindEntry(int32_t classId)
{
    for (const std::unique_ptr<SequenceActionClassEntry>& entry : m_entries)
        if (entry->classId == classId)
            return entry.get();
    return nullptr;
}

SequenceActionClassEntry* SequenceActionFactory::FindEntry(const char* className)
{
    for (const std::unique_ptr<SequenceActionClassEntry>& entry : m_entries)
        if (className != nullptr && entry->className == className)
            return entry.get();
    return nullptr;
}

bool SequenceActionFactory::RegisterNativeActionClass(const char* className)
{
    const int32_t id = RTTIClassRegistry::FindClassId(className);
    if (id < 0)
        return false;
    if (FindEntry(className) != nullptr)
        return true;
    auto entry = std::make_unique<SequenceActionClassEntry>();
    entry->classId = id;
    entry->className = className;
    m_entries.push_back(std::move(entry));
    return true;
}

void SequenceActionFactory::MakeTable(SequenceActionClassEntry& entry)
{
    // The base table must exist before a table names it.
    SequenceAction::StaticClassProperties();
    entry.table = std::make_unique<RTTIPropertiesBase>();
    entry.table->Init(entry.className.c_str(), entry.baseClassName.c_str());
}

int32_t SequenceActionFactory::RegisterLuaSequenceActionClass(const char* className, const char* baseClassName,
                                                              bool zeroDefaultTime, const char* category)
{
    if (className == nullptr || *className == 0)
        return -1;
    if (SequenceActionClassEntry* existing = FindEntry(className))
    {
        existing->seen = false;
        return existing->classId;
    }
    auto entry = std::make_unique<SequenceActionClassEntry>();
    entry->className = className;
    // Only a script class can be a base: a built-in class's properties address fields of its own
    // type, which a script action does not have.
    const SequenceActionClassEntry* const base = baseClassName != nullptr ? FindEntry(baseClassName) : nullptr;
    entry->baseClassName = base != nullptr && base->scriptDefined ? baseClassName : "SequenceAction";
    entry->classId = RTTIClassRegistry::RegisterClass(className, entry->baseClassName.c_str(), &LuaSequenceAction::Create);
    entry->zeroDefaultTime = zeroDefaultTime;
    entry->scriptDefined = true;
    if (category != nullptr && *category != 0)
    {
        int32_t index = 0;
        while (index < int32_t(m_categories.size()) && m_categories[size_t(index)] != category)
            ++index;
        if (index == int32_t(m_categories.size()))
            m_categories.emplace_back(category);
        entry->categoryIndex = index;
    }
    MakeTable(*entry);
    m_entries.push_back(std::move(entry));
    return m_entries.back()->classId;
}

void SequenceActionFactory::AddLuaSequenceActionParam(int32_t classId, const char* name, const char* typeName)
{
    SequenceActionClassEntry* const entry = FindEntry(classId);
    const int32_t kind = KindOfTypeName(typeName);
    if (entry == nullptr || !entry->scriptDefined || kind < 0 || name == nullptr || entry->table == nullptr)
        return;
    entry->params[kind].emplace_back(name);
    entry->table->AddProperty(MakeParamProperty(uint32_t(kind), name));
}

void SequenceActionFactory::AddSequenceActionLookupParamName(int32_t classId, const char* name)
{
    SequenceActionClassEntry* const entry = FindEntry(classId);
    if (entry == nullptr || name == nullptr)
        return;
    for (const std::string& known : entry->lookupParams)
        if (known == name)
            return;
    entry->lookupParams.emplace_back(name);
}

void SequenceActionFactory::BeginLuaActionsSync()
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
    {
        SequenceActionClassEntry& entry = **it;
        entry.seen = entry.scriptDefined;
        if (entry.scriptDefined)
            entry.table.reset();
    }
    for (const std::unique_ptr<SequenceActionClassEntry>& entry : m_entries)
        if (entry->scriptDefined && entry->table == nullptr)
        {
            MakeTable(*entry);
            for (std::vector<std::string>& names : entry->params)
                names.clear();
        }
}

void SequenceActionFactory::EndLuaActionsSync()
{
    const RTTIPropertiesBase* const last = SequenceAction::StaticClassProperties();
    for (const std::unique_ptr<SequenceActionClassEntry>& entry : m_entries)
    {
        if (entry->instances.empty() || entry->table == nullptr)
            continue;
        struct Declared
        {
            std::string name;
            int32_t kind;
        };
        std::vector<Declared> declared;
        for (const RTTIPropertiesBase* table = entry->table.get(); table != nullptr && table != last;
             table = table->GetBaseTable())
            for (const RTTIProperty* property : table->GetProperties())
                declared.push_back({property->GetName(), KindOfPropertyType(property->GetType())});
        for (LuaSequenceAction* action : entry->instances)
        {
            std::vector<LuaSequenceAction::Param>& params = action->GetParams();
            std::vector<LuaSequenceAction::Param> kept;
            for (LuaSequenceAction::Param& param : params)
                for (const Declared& d : declared)
                    if (d.name == param.name)
                    {
                        kept.push_back(std::move(param));
                        break;
                    }
            for (const Declared& d : declared)
            {
                if (d.kind < 0)
                    continue;
                bool present = false;
                for (const LuaSequenceAction::Param& param : kept)
                    present = present || (param.name == d.name && param.kind == uint32_t(d.kind));
                if (!present)
                {
                    LuaSequenceAction::Param param;
                    param.name = d.name;
                    param.kind = uint32_t(d.kind);
                    kept.push_back(param);
                }
            }
            params = std::move(kept);
        }
    }
}

void SequenceActionFactory::Clear()
{
    for (const std::unique_ptr<SequenceActionClassEntry>& entry : m_entries)
        for (LuaSequenceAction* action : entry->instances)
            action->DetachEntry();
    m_entries.clear();
    m_categories.clear();
}
