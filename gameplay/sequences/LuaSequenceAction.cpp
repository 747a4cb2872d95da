#include "gameplay/sequences/LuaSequenceAction.h"

#include "gameplay/sequences/SequenceActionFactory.h"

#include <algorithm>

namespace
{
// Slots of an entry's own parameters, then (for a base declared by scripts) its base's.
void AddSlots(LuaSequenceAction& action, SequenceActionClassEntry* entry, int depth)
{
    if (entry == nullptr || depth > 16)
        return;
    for (uint32_t kind = 0; kind < SequenceActionClassEntry::PARAM_KIND_COUNT; ++kind)
        for (const std::string& name : entry->params[kind])
        {
            LuaSequenceAction::Param param;
            param.name = name;
            param.kind = kind;
            action.GetParams().push_back(param);
        }
    if (entry->baseClassName != "SequenceAction")
        AddSlots(action, gSequenceActionFactory.FindEntry(entry->baseClassName.c_str()), depth + 1);
}
} // namespace

LuaSequenceAction::LuaSequenceAction(SequenceActionClassEntry* entry) : m_entry(entry)
{
    m_time = entry != nullptr && entry->zeroDefaultTime ? 0.0f : 1.0f;
    AddSlots(*this, entry, 0);
    if (entry != nullptr)
        entry->instances.push_back(this);
}

LuaSequenceAction::~LuaSequenceAction()
{
    if (m_entry == nullptr)
        return;
    std::vector<LuaSequenceAction*>& instances = m_entry->instances;
    instances.erase(std::remove(instances.begin(), instances.end(), this), instances.end());
}

RTTIPropertiesBase* LuaSequenceAction::GetClassProperties() const
{
    return m_entry != nullptr && m_entry->table != nullptr ? m_entry->table.get()
                                                           : SequenceAction::StaticClassProperties();
}

const char* LuaSequenceAction::GetActionClassName() const
{
    return m_entry != nullptr ? m_entry->className.c_str() : "SequenceAction";
}

LuaSequenceAction::Param* LuaSequenceAction::FindParam(const std::string& name, uint32_t kind)
{
    for (Param& param : m_params)
        if (param.kind == kind && param.name == name)
            return &param;
    return nullptr;
}

const LuaSequenceAction::Param* LuaSequenceAction::FindParam(const std::string& name, uint32_t kind) const
{
    return const_cast<LuaSequenceAction*>(this)->FindParam(name, kind);
}

RTTIPolyBaseClass* LuaSequenceAction::Create(int classId)
{
    return new LuaSequenceAction(gSequenceActionFactory.FindEntry(classId));
}
