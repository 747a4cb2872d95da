// A scene with the Lua state and the Game started over it, the Game's delegate being the scripts'
// own "LuaGameDelegate" class. Test thread only; the scene is emptied and the Game and the state
// closed before the scene fixture tears down.
#pragma once

#include "engine/Game.h"
#include "engine/scripting/LuaGameDelegate.h"
#include "engine/scripting/LuaWrapper.h"
#include "support/SceneTestSupport.h"

class ScriptedSceneTest : public SceneTest
{
public:
    class ScriptDelegate : public LuaGameDelegate
    {
    public:
        const char* GetScriptClassName() const override { return "LuaGameDelegate"; }
        bool IsGameRunning() override { return running; }
        bool running = false; // entity script hooks run only in a running game
    };

protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        ASSERT_TRUE(gLua.Init());
        gGame.Init(&m_delegate);
    }
    void TearDown() override
    {
        gEntityManager.NewScene();
        gGame.Close();
        gLua.Close();
        SceneTest::TearDown();
    }

    ScriptDelegate m_delegate;
};
