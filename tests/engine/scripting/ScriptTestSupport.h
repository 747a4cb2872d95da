// Shared set-up of the scripting tests: a fresh Lua state, script folders mounted from a temporary
// folder, and the stack-depth check every call road must pass.
#pragma once

#include "core/filesystem/FileSystem.h"
#include "engine/scripting/LuaWrapper.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <lua.hpp>

#include <string>

class ScriptTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_folder.WriteFile("common/.keep", "");
        m_folder.WriteFile("scenes/.keep", "");
        ASSERT_TRUE(gFileSystem.MountDirectory("common", (m_folder / "common").c_str()));
        ASSERT_TRUE(gFileSystem.MountDirectory("scenes", (m_folder / "scenes").c_str()));
        ASSERT_TRUE(gLua.Init());
        m_log.Clear();
    }
    void TearDown() override
    {
        gLua.Close();
        gFileSystem.UnmountAll();
    }

    lua_State* L() const { return gLua.GetState(); }
    int Depth() const { return lua_gettop(L()); }
    void Run(const std::string& chunk) { ASSERT_TRUE(gLua.LoadAndCall(chunk.c_str(), 0)) << chunk; }
    std::string GlobalString(const char* name)
    {
        lua_getglobal(L(), name);
        const char* text = lua_tostring(L(), -1);
        std::string result = text != nullptr ? text : "<nil>";
        lua_pop(L(), 1);
        return result;
    }
    double GlobalNumber(const char* name)
    {
        lua_getglobal(L(), name);
        const double value = lua_tonumber(L(), -1);
        lua_pop(L(), 1);
        return value;
    }

    TempFolder m_folder;
    ConsoleCapture m_log;
};
