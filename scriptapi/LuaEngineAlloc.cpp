// The Lua state's allocator and panic handler.
#include "core/console/GameConsole.h"
#include "core/memory/AlignedMemory.h"
#include "scriptapi/ScriptApi.h"

#include <lua.hpp>

#include <cstring>

void* LuaEngineAlloc(void*, void* block, size_t oldSize, size_t newSize)
{
    if (newSize == 0)
    {
        if (block != nullptr)
            memory::FreeAligned(block);
        return nullptr;
    }
    // A failed allocation goes back to Lua, which raises its memory error in the script and leaves
    // the old block as it was; ending the program here would let any script stop the game.
    void* const grown = memory::TryAllocateAligned(newSize);
    if (grown == nullptr)
        return nullptr;
    if (block != nullptr)
    {
        std::memcpy(grown, block, oldSize < newSize ? oldSize : newSize);
        memory::FreeAligned(block);
    }
    return grown;
}

int LuaPanicHandler(lua_State* state)
{
    const char* message = lua_tostring(state, -1);
    gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "LUA panic: %s!!!", message != nullptr ? message : "(no message)");
    return 0;
}
