// What scripts read of a UTF-16 text input: its buffer handed over as the script API's UTF-16
// value, so the UI itself never depends on the bindings' string type. Main thread.
#pragma once

#include "scriptapi/LuaUnicodeString.h"
#include "ui/elements/UIUniTextInput.h"

inline LuaUnicodeString ScriptUniTextInputGetInputString(const UIUniTextInput* input)
{
    return LuaUnicodeString(input->GetInputStringUnicharPtr());
}
