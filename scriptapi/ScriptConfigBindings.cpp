#include "scriptapi/ScriptConfigBindings.h"

#include "engine/config/LUAConfigHelper.h"
#include "scriptapi/LuaUnicodeString.h"

const char* ScriptConfigToAsciiUnsafe(LUAConfigHelper* helper, const LuaUnicodeString& text)
{
    return helper->ToAsciiUnsafe(text.GetUnicharPtr());
}
