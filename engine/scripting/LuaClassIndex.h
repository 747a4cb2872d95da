// Member lookup on bound objects without the library's index event. Main thread (the Lua state's).
//
// The binding library resolves obj.key in a C index event: the object's peer table, then each
// class metatable up the chain by raw get, with C++ variables (".get" tables) and numeric keys
// (operator[]) on the way. Scripts call methods by name many times per frame, so the common case
// (a key found by raw get, no variable of that name, not a numeric key) is answered here directly,
// and every other case is handed to the library's event unchanged.
#pragma once

struct lua_State;
typedef int (*lua_CFunction)(lua_State*);

// Pushes obj[key] for the userdata at objectIndex and the key at keyIndex and returns true, or
// pushes nothing and returns false when only the library's event can answer.
bool LuaFindClassMember(lua_State* state, int objectIndex, int keyIndex);

// Whether Lua could read the text as a number (as strtod would: blanks, then a digit, a sign, a
// point, "inf" or "nan"); false means it certainly cannot, without converting it.
bool LuaKeyMayBeNumber(const char* text);

// Puts an index event that tries LuaFindClassMember first on every class metatable that carries
// the library's event (which it keeps as its fallback). Run after packages open or classes register.
void LuaSpeedUpClassIndex(lua_State* state);

// Every class metatable in the registry whose eventName holds the library's event (the C function
// at libraryEventIndex, an absolute index) gets replacement instead, with that event as upvalue 1.
void LuaReplaceClassEvent(lua_State* state, const char* eventName, int libraryEventIndex, lua_CFunction replacement);
