// Registry references to the class metatables and object boxes of bound classes, so that pushing an
// object the scripts already know takes no lookup by name. Main thread (the Lua state's).
#pragma once

#include <cstddef>
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
    // What PushKnownMethod left on the stack.
    enum Pushed
    {
        PUSHED_NOTHING = 0,
        PUSHED_OBJECT = 1,           // the object only
        PUSHED_METHOD_AND_OBJECT = 2 // its class's own member `name` (not nil), then the object
    };
    // PushKnown, then, when the library's lookup would find obj[name] by raw get in the object's own
    // class (the object has no peer table and the name cannot be read as a number) and it is there,
    // that member too, below the object.
    Pushed PushKnownMethod(lua_State* state, void* object, const char* className, const char* name);
    // Whether the class has a metatable (remembered once seen).
    bool IsKnownClass(lua_State* state, const char* className);
    // Forgets everything (the state is closing).
    void Clear()
    {
        m_classes.clear();
        m_lastName = nullptr;
        m_lastKey = nullptr;
        m_lastRefs = nullptr;
        for (MethodKey& key : m_methodKeys)
            key = MethodKey{};
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
    // A method name as an interned Lua string kept in the registry, found by the caller's pointer
    // (checked against the text, since the same pointer may hold another name by now).
    struct MethodKey
    {
        const char* pointer = nullptr;
        std::string text;
        int ref = -2; // LUA_NOREF
        bool mayBeNumber = false;
    };
    static constexpr size_t kMethodKeys = 64;
    const MethodKey& FindMethodKey(lua_State* state, const char* name);
    const ClassRefs* Find(lua_State* state, const char* className);
    const ClassRefs* Add(lua_State* state, const char* className);

    std::unordered_map<std::string, ClassRefs, Hash, std::equal_to<>> m_classes;
    // The last class found, by the caller's pointer: calls mostly repeat one literal name.
    const char* m_lastName = nullptr;
    const std::string* m_lastKey = nullptr;
    const ClassRefs* m_lastRefs = nullptr;
    MethodKey m_methodKeys[kMethodKeys];
};
