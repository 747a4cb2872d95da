// Registry references to the class metatables and object boxes of bound classes, so that pushing an
// object the scripts already know takes no lookup by name. Main thread (the Lua state's).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

struct lua_State;

// Per class: its metatable and the box (light pointer -> userdata) the binding library keeps.
class LuaUserTypeCache
{
public:
    // Pushes the userdata the library made earlier for `object` when it already carries the class's
    // own metatable, and returns true; otherwise pushes nothing and returns false (the library's push
    // then creates or re-types it). False too for a class the bindings do not know.
    bool PushKnown(lua_State* state, void* object, const char* className);
    // With the object of the last PushKnown on top, pushes its class's own method `name` and returns
    // true when that is where the library's lookup would find it (the object has no peer table and the
    // name cannot be read as a number); otherwise pushes nothing and returns false.
    bool PushOwnMethod(lua_State* state, const char* name);
    // Whether the class has a metatable (remembered once seen).
    bool IsKnownClass(lua_State* state, const char* className);
    // Forgets everything (the state is closing).
    void Clear()
    {
        m_classes.clear();
        m_lastName = nullptr;
        m_lastKey = nullptr;
        m_lastRefs = nullptr;
    }

private:
    struct ClassRefs
    {
        int metatable;
        int box;
        const void* metatableAddress; // compared with an object's metatable
    };
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    const ClassRefs* Find(lua_State* state, const char* className);
    const ClassRefs* Add(lua_State* state, const char* className);

    std::unordered_map<std::string, ClassRefs, Hash, std::equal_to<>> m_classes;
    // The last class found, by the caller's pointer: calls mostly repeat one literal name.
    const char* m_lastName = nullptr;
    const std::string* m_lastKey = nullptr;
    const ClassRefs* m_lastRefs = nullptr;
};
