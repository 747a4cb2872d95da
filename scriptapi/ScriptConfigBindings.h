// Script forms of the options service's calls that take the script API's own value types. Main
// thread.
#pragma once

class LUAConfigHelper;
class LuaUnicodeString;

// gConfigHelper:ToAsciiUnsafe(unicodeString) -> the text in the helper's shared buffer.
const char* ScriptConfigToAsciiUnsafe(LUAConfigHelper* helper, const LuaUnicodeString& text);
