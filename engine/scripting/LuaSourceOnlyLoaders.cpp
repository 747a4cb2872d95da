#include "engine/scripting/LuaSourceOnlyLoaders.h"

#include <lua.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace
{
const char kRefused[] = "precompiled chunks are refused; scripts must be source text";

int LoadResult(lua_State* state, int status)
{
    if (status == 0)
        return 1;
    lua_pushnil(state);
    lua_insert(state, -2);
    return 2;
}

int RefusedResult(lua_State* state)
{
    lua_pushnil(state);
    lua_pushstring(state, kRefused);
    return 2;
}

int LoadString(lua_State* state)
{
    size_t length = 0;
    const char* text = luaL_checklstring(state, 1, &length);
    const char* chunkName = luaL_optstring(state, 2, text);
    if (length > 0 && text[0] == LUA_SIGNATURE[0])
        return RefusedResult(state);
    return LoadResult(state, luaL_loadbuffer(state, text, length, chunkName));
}

struct FunctionReader
{
    bool first = true;
    bool refused = false;
};

// Calls the user's reader function (argument 1); the string it returns is kept alive in slot 3.
const char* ReadFromFunction(lua_State* state, void* data, size_t* size)
{
    auto* reader = static_cast<FunctionReader*>(data);
    luaL_checkstack(state, 2, "too many nested functions");
    lua_pushvalue(state, 1);
    lua_call(state, 0, 1);
    if (lua_isnil(state, -1))
    {
        *size = 0;
        return nullptr;
    }
    if (!lua_isstring(state, -1))
        luaL_error(state, "reader function must return a string");
    lua_replace(state, 3);
    const char* piece = lua_tolstring(state, 3, size);
    if (reader->first && *size > 0)
    {
        reader->first = false;
        if (piece[0] == LUA_SIGNATURE[0])
        {
            reader->refused = true;
            *size = 0;
            return nullptr;
        }
    }
    return piece;
}

int Load(lua_State* state)
{
    const char* chunkName = luaL_optstring(state, 2, "=(load)");
    luaL_checktype(state, 1, LUA_TFUNCTION);
    lua_settop(state, 3);
    FunctionReader reader;
    const int status = lua_load(state, &ReadFromFunction, &reader, chunkName);
    if (reader.refused)
    {
        lua_pop(state, 1); // the empty chunk or the error the cut-short read produced
        return RefusedResult(state);
    }
    return LoadResult(state, status);
}

// The first byte Lua's own file loader would look at: after an optional '#' line.
bool FileStartsWithBytecode(const char* path)
{
    FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr)
        return false;
    int c = std::fgetc(file);
    if (c == '#')
    {
        while (c != EOF && c != '\n')
            c = std::fgetc(file);
        if (c == '\n')
            c = std::fgetc(file);
    }
    std::fclose(file);
    return c == LUA_SIGNATURE[0];
}

int LoadFile(lua_State* state)
{
    const char* path = luaL_optstring(state, 1, nullptr);
    if (FileStartsWithBytecode(path))
        return RefusedResult(state);
    return LoadResult(state, luaL_loadfile(state, path));
}

int DoFile(lua_State* state)
{
    const char* path = luaL_optstring(state, 1, nullptr);
    const int base = lua_gettop(state);
    if (FileStartsWithBytecode(path))
        return luaL_error(state, kRefused);
    if (luaL_loadfile(state, path) != 0)
        return lua_error(state);
    lua_call(state, 0, LUA_MULTRET);
    return lua_gettop(state) - base;
}
// Finds the module on package.path as require's own searcher does. Leaves the loaded chunk, or the
// "no file" list, on the stack and returns 0; on a load failure leaves the message and returns 1
// (the caller raises it once no C++ object is alive).
int SearchModule(lua_State* state, const char* name)
{
    lua_getglobal(state, "package");
    lua_getfield(state, -1, "path");
    const char* const path = lua_tostring(state, -1);
    if (path == nullptr)
    {
        lua_pushstring(state, "'package.path' must be a string");
        return 1;
    }
    std::string file(name);
    std::replace(file.begin(), file.end(), '.', '/');
    std::string tried;
    std::string_view rest(path);
    while (!rest.empty())
    {
        const size_t end = rest.find(';');
        const std::string_view pattern = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (pattern.empty())
            continue;
        std::string filename;
        for (const char c : pattern)
            if (c == '?')
                filename += file;
            else
                filename += c;
        FILE* const probe = std::fopen(filename.c_str(), "r");
        if (probe == nullptr)
        {
            tried += "\n\tno file '" + filename + "'";
            continue;
        }
        std::fclose(probe);
        const char* const problem = FileStartsWithBytecode(filename.c_str())        ? kRefused
                                    : luaL_loadfile(state, filename.c_str()) != 0 ? lua_tostring(state, -1)
                                                                                  : nullptr;
        if (problem == nullptr)
            return 0;
        lua_pushfstring(state, "error loading module '%s' from file '%s':\n\t%s", name, filename.c_str(), problem);
        return 1;
    }
    lua_pushstring(state, tried.c_str());
    return 0;
}

// Stands in for require's Lua-file searcher, which would load precompiled files.
int RequireSourceFile(lua_State* state)
{
    const char* const name = luaL_checkstring(state, 1);
    if (SearchModule(state, name) != 0)
        return lua_error(state);
    return 1;
}
} // namespace

void InstallSourceOnlyLoaders(lua_State* state)
{
    lua_getglobal(state, "package");
    if (lua_istable(state, -1))
    {
        lua_getfield(state, -1, "loaders");
        if (lua_istable(state, -1))
        {
            lua_pushcfunction(state, &RequireSourceFile);
            lua_rawseti(state, -2, 2);
        }
        lua_pop(state, 1);
    }
    lua_pop(state, 1);
    lua_register(state, "loadstring", &LoadString);
    lua_register(state, "load", &Load);
    lua_register(state, "loadfile", &LoadFile);
    lua_register(state, "dofile", &DoFile);
}
