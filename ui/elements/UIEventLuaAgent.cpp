#include "ui/elements/UIEventLuaAgent.h"

#include "engine/scripting/LuaWrapper.h"
#include "ui/elements/UIElement.h"

#include <cstdio>

UIEventLuaAgent gUIEventLuaAgent;

namespace
{
void Trigger(SafePointerRoot*, UIEventRecord* record)
{
    char line[64];
    std::snprintf(line, sizeof(line), "UIEventAgent:UITrigger(%d)", int(record->value));
    gLua.LoadAndCall(line, 0);
}
} // namespace

void UIEventLuaAgent::Register(UIElement* element, uint32_t type, uint32_t value, uint8_t flags)
{
    if (element != nullptr)
        element->AddEventListener(&gUIEventLuaAgent, &Trigger, type, value, flags);
}
