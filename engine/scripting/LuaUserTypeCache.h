// Registry references to the class metatables and object boxes of bound classes, so that pushing an
// object the scripts already know takes no lookup by name. Main thread (the Lua state's).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

struct lua_State;

// Per class: its metatable and the box (light pointer -> userdata) the binding library keeps; per
// recently pushed object: its userdata, found without hashing the pointer in the box.
class LuaUserTypeCache
{
public:
    // Makes the table the cache keeps its Lua values in. Call it first on a new state: the registry
    // keeps its first references in its array part, where reading them takes no hashing.
    void Open(lua_State* state);
    // Pushes the userdata the library made earlier for `object` when it already carries the class's
    // own metatable, and returns true; otherwise pushes nothing and returns false (the library's push
    // then creates or re-types it). False too for a class the bindings do not know.
    bool PushKnown(lua_State* state, void* object, const char* className);
    // What PushKnownMethod left on the stack.
    enum Pushed
    {
        PUSHED_NOTHING = 0,
        PUSHED_OBJECT = 1,           // the object only
        PUSHED_METHOD_AND_OBJECT = 2 // its class's own member `name` (a function), then the object
    };
    // PushKnown, then, when the library's lookup would find obj[name] by raw get in the object's own
    // class (the object has no peer table and the name cannot be read as a number) and it is a
    // function there, that function too, below the object.
    Pushed PushKnownMethod(lua_State* state, void* object, const char* className, const char* name);
    // The library's box no longer holds the object (it was unregistered): its old userdata, which
    // scripts may still hold, must not be handed out for whatever lives at that address next.
    void Forget(const void* object);
    // Forgets everything (the state is closing).
    void Clear();

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
    // A method name as an interned Lua string kept in the value table, found by the caller's pointer
    // (checked against the text, since the same pointer may hold another name by now).
    struct MethodKey
    {
        const char* pointer = nullptr;
        std::string text;
        bool mayBeNumber = false;
    };
    // An object whose userdata sits in the value table: box[object] of the box with that reference
    // was that userdata when it was put there. The value table is weak like the box, so a userdata
    // the collector takes leaves both together; Forget covers the box's other way of dropping one.
    struct ObjectSlot
    {
        const void* object = nullptr;
        int box = -2; // LUA_NOREF
    };
    // The value table's array part: object userdata first, then method name strings.
    static constexpr int kObjectSlots = 256;
    static constexpr int kMethodKeys = 64;
    static int ObjectSlotIndex(const void* object);
    // The value table is at valuesIndex (a negative index, before the key's string is pushed).
    const MethodKey& FindMethodKey(lua_State* state, const char* name, int valuesIndex, int& keySlot);
    // Pushes box[object] (a userdata) above the value table on top, remembering it; false (nothing
    // pushed) when the box holds none.
    bool PushFromBox(lua_State* state, const void* object, int box, int slotIndex);
    const ClassRefs* Find(lua_State* state, const char* className);
    const ClassRefs* Add(lua_State* state, const char* className);

    std::unordered_map<std::string, ClassRefs, Hash, std::equal_to<>> m_classes;
    // The last class found, by the caller's pointer: calls mostly repeat one literal name.
    const char* m_lastName = nullptr;
    const std::string* m_lastKey = nullptr;
    const ClassRefs* m_lastRefs = nullptr;
    int m_values = -2; // LUA_NOREF
    // What an object's environment is when it has no peer table.
    const void* m_registry = nullptr;
    ObjectSlot m_objects[kObjectSlots];
    MethodKey m_methodKeys[kMethodKeys];
};
