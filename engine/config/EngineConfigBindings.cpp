// Key binds and control sets of the user configuration.
#include "engine/config/EngineConfig.h"

#include "core/console/GameConsole.h"

namespace
{
// Index of the first binding whose key is greater than `key`.
int32_t UpperBound(const DynarraySafe<KeyBindDef>& binds, uint32_t key)
{
    int32_t low = 0;
    int32_t high = binds.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (binds[middle].m_keyCode <= key)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
} // namespace

const char* EngineConfig::FindKeyBind(uint32_t key) const
{
    const int32_t after = UpperBound(m_keyBinds, key);
    if (after == 0 || m_keyBinds[after - 1].m_keyCode != key)
        return nullptr;
    return m_keyBinds[after - 1].m_command.c_str();
}

void EngineConfig::BindKey(uint32_t key, const char* command)
{
    const int32_t after = UpperBound(m_keyBinds, key);
    if (after > 0 && m_keyBinds[after - 1].m_keyCode == key)
    {
        if (command == nullptr)
            m_keyBinds.RemoveAt(after - 1);
        else
            m_keyBinds[after - 1].m_command = command;
        return;
    }
    if (command == nullptr)
        return;
    KeyBindDef bind;
    bind.m_keyCode = key;
    bind.m_command = command;
    m_keyBinds.Insert(bind, after);
}

void EngineConfig::RemoveAllKeyBinds()
{
    m_keyBinds.FreeStorage();
}

DynarraySafe<ControlEntry>* EngineConfig::GetControlSet(int32_t set)
{
    return const_cast<DynarraySafe<ControlEntry>*>(static_cast<const EngineConfig*>(this)->GetControlSet(set));
}

const DynarraySafe<ControlEntry>* EngineConfig::GetControlSet(int32_t set) const
{
    switch (set)
    {
    case 0:
        return &m_gamePadControls;
    case 1:
        return &m_mouseControls;
    case 2:
        return &m_keyboardControls;
    case 3:
        return &m_diPadControls;
    case 4:
        return &m_unsavedControls;
    default:
        return nullptr;
    }
}

int32_t EngineConfig::GetControlCount(int32_t set) const
{
    const DynarraySafe<ControlEntry>* controls = GetControlSet(set);
    return controls != nullptr ? controls->Count() : 0;
}

void EngineConfig::GetControl(int32_t set, int32_t action, uint32_t& primary, uint32_t& secondary) const
{
    primary = 0;
    secondary = 0;
    const DynarraySafe<ControlEntry>* controls = GetControlSet(set);
    if (controls == nullptr || action < 0 || action >= controls->Count())
        return;
    primary = (*controls)[action].m_primary;
    secondary = (*controls)[action].m_secondary;
}

// Scripts pass both indices; an unbounded action would grow the set without limit.
ControlEntry* EngineConfig::PrepareControl(int32_t set, int32_t action, const char* operation)
{
    DynarraySafe<ControlEntry>* controls = GetControlSet(set);
    if (controls == nullptr || action < 0 || action >= kMaxControlActions)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "%s: control set %d, action %d out of range", operation, set, action);
        return nullptr;
    }
    if (action >= controls->Count())
        controls->Resize(action + 1);
    return &(*controls)[action];
}

bool EngineConfig::SetPrimaryControl(int32_t set, int32_t action, uint32_t code)
{
    ControlEntry* entry = PrepareControl(set, action, "SetPrimaryControl");
    if (entry == nullptr)
        return false;
    entry->m_primary = code;
    return true;
}

bool EngineConfig::SetSecondaryControl(int32_t set, int32_t action, uint32_t code)
{
    ControlEntry* entry = PrepareControl(set, action, "SetSecondaryControl");
    if (entry == nullptr)
        return false;
    entry->m_secondary = code;
    return true;
}

void EngineConfig::RemoveAllControls(int32_t set)
{
    DynarraySafe<ControlEntry>* controls = GetControlSet(set);
    if (controls != nullptr)
        controls->FreeStorage();
}
