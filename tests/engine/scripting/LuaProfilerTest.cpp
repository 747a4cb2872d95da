#include "ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/scripting/LuaProfiler.h"
#include "platform/os/Clock.h"

#include <cstring>

namespace
{
class LuaProfilerTest : public ScriptTest
{
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        Run("function Recurse(n) if n > 1 then return Recurse(n - 1) end end\n"
            "function Work() local s = 0 for i = 1, 100 do s = s + i end return s end\n"
            "function Game:OnTick() Work() Recurse(3) end");
    }
    void TearDown() override
    {
        gLua.ProfilerCommand("disable");
        ScriptTest::TearDown();
    }
    // One frame as the script delegate runs it: tick begin, the script call, tick end.
    void Frame()
    {
        gLua.ProfilerEnter();
        EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "OnTick"));
        gLua.ProfilerLeave();
    }
    const LuaProfiler::Record* Find(const char* functionName) const
    {
        for (const LuaProfiler::Record& record : gLua.GetProfiler().GetRecords())
            if (std::strcmp(record.functionName, functionName) == 0)
                return &record;
        return nullptr;
    }
};

TEST_F(LuaProfilerTest, ReportAfterAFewFrames)
{
    gLua.ProfilerCommand("report");
    EXPECT_EQ(m_log.Messages().size(), 1u);
    EXPECT_TRUE(m_log.Contains("======= Lua Profiler data =========="));

    gLua.ProfilerCommand("grab");
    for (int frame = 0; frame < 3; ++frame)
        Frame();
    const LuaProfiler::Record* context = Find("ProfilerContext");
    const LuaProfiler::Record* work = Find("Work");
    const LuaProfiler::Record* recurse = Find("Recurse");
    ASSERT_NE(context, nullptr);
    ASSERT_NE(work, nullptr);
    ASSERT_NE(recurse, nullptr);
    EXPECT_EQ(context->count, 3u);
    EXPECT_EQ(work->count, 3u);
    // Three levels per frame, timed once per frame.
    EXPECT_EQ(recurse->count, 9u);
    EXPECT_EQ(recurse->depth, 0u);
    EXPECT_GE(context->totalTicks, work->totalTicks);
    EXPECT_GT(context->childTicks, 0);

    m_log.Clear();
    gLua.ProfilerCommand("report");
    EXPECT_TRUE(m_log.Contains(", [Work], count 3, totalTime="));
    EXPECT_TRUE(m_log.Contains("ProfilerContext, [ProfilerContext], count 3"));

    gLua.ProfilerCommand("reportLuaTable");
    Run("local found, child = false, false for _, r in ipairs(gLuaProfilerReport) do "
        "if r.funcName == 'Recurse' then found = r.count == 9 and r.totalTime >= 0 and r.source:find('|1%-1') end "
        "if r.funcName == 'ProfilerContext' then child = r.childTime > 0 end end "
        "assert(found and child)");
    EXPECT_EQ(Depth(), 0);
}

// A function's time adds up over its activations, and so does the child time of the context around them.
TEST_F(LuaProfilerTest, TimesAddUpOverFrames)
{
    os::EnableManualCounter(0);
    lua_register(L(), "Spend", [](lua_State*) {
        os::AdvanceManualCounter(os::kCounterFrequency);
        return 0;
    });
    Run("function Work() Spend() end\nfunction Game:OnTick() Work() end");
    gLua.ProfilerCommand("grab");
    for (int frame = 0; frame < 3; ++frame)
        Frame();
    os::DisableManualCounter();
    ASSERT_NE(Find("Work"), nullptr);
    EXPECT_EQ(Find("Work")->totalTicks, 3 * os::kCounterFrequency);
    EXPECT_EQ(Find("ProfilerContext")->childTicks, 3 * os::kCounterFrequency);
}

TEST_F(LuaProfilerTest, ErrorsDoNotLeaveFunctionsOpen)
{
    Run("function Fails() error('stop') end\nfunction Game:Broken() Work() Fails() end\n"
        "function Game:Guarded() pcall(Fails) Work() end");
    gLua.ProfilerCommand("grab");
    EXPECT_FALSE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "Broken"));
    EXPECT_FALSE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "Broken"));
    EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "Guarded")) << "an error the script caught";
    ASSERT_NE(Find("Fails"), nullptr);
    EXPECT_EQ(Find("Fails")->count, 3u);
    EXPECT_EQ(Find("Fails")->depth, 0u);
    EXPECT_EQ(Find("ProfilerContext")->depth, 0u);
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaProfilerTest, GrabOneTickStopsByItself)
{
    gLua.ProfilerCommand("grabOneTick");
    EXPECT_EQ(gLua.GetProfiler().GetMode(), LuaProfiler::MODE_ARMED_FOR_TICK);
    // Script work outside a tick is not recorded.
    EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "OnTick"));
    EXPECT_TRUE(gLua.GetProfiler().GetRecords().IsEmpty());
    Frame();
    EXPECT_EQ(gLua.GetProfiler().GetMode(), LuaProfiler::MODE_OFF);
    ASSERT_NE(Find("Work"), nullptr);
    EXPECT_EQ(Find("Work")->count, 1u);
    Frame();
    EXPECT_EQ(Find("Work")->count, 1u);
}

TEST_F(LuaProfilerTest, CommandsFromInsideAnEngineCalledMethod)
{
    // Grabbing starts inside a call the profiler did not bracket: its end must not close anything.
    Run("function Game:StartGrab() gLua:ProfilerCommand('grab') Work() end");
    EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "StartGrab"));
    EXPECT_EQ(gLua.GetProfiler().GetMode(), LuaProfiler::MODE_GRAB);
    Frame();
    EXPECT_EQ(Find("ProfilerContext")->count, 1u);

    // Clearing and disabling from inside a bracketed call.
    Run("function Game:Rearm() gLua:ProfilerCommand('grabOneTick') Work() end "
        "function Game:Stop() Work() gLua:ProfilerCommand('disable') Work() end");
    EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "Rearm"));
    gLua.ProfilerCommand("grab");
    EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "Stop"));
    EXPECT_EQ(gLua.GetProfiler().GetMode(), LuaProfiler::MODE_OFF);
    Frame();
    gLua.ProfilerCommand("unknown text");
    EXPECT_EQ(gLua.GetProfiler().GetMode(), LuaProfiler::MODE_OFF);
    EXPECT_EQ(Depth(), 0);
}
TEST_F(LuaProfilerTest, ALongSourceIsCutInTheKeyAndATickCanArmTheNextOne)
{
    Run("function Long() return 1 end -- " + std::string(300, 'x'));
    Run("function Game:OnTick() Long() gLua:ProfilerCommand('grabOneTick') end");
    gLua.ProfilerCommand("grabOneTick");
    Frame();
    EXPECT_EQ(gLua.GetProfiler().GetMode(), LuaProfiler::MODE_ARMED_FOR_TICK) << "the tick asked for the next one";
    ASSERT_NE(Find("Long"), nullptr);
    const std::string key = Find("Long")->key;
    EXPECT_EQ(key.size(), sizeof(LuaProfiler::Record::key) - 1);
    EXPECT_EQ(key.substr(key.size() - 8), "x...|1-1");
    Frame();
    EXPECT_EQ(Find("Long")->count, 2u);
}

TEST_F(LuaProfilerTest, RearmingInsideAGrabbedCallRecordsOnlyTheNextTick)
{
    Run("function Game:Rearm() gLua:ProfilerCommand('grabOneTick') Work() end");
    gLua.ProfilerCommand("grab");
    EXPECT_TRUE(gLua.ExecuteMethod(0, 0, &gGame, "Game", "Rearm"));
    Run("Work()");
    Frame();
    ASSERT_FALSE(gLua.GetProfiler().GetRecords().IsEmpty());
    EXPECT_STREQ(gLua.GetProfiler().GetRecords()[0].key, "ProfilerContext");
    ASSERT_NE(Find("Work"), nullptr);
    EXPECT_EQ(Find("Work")->count, 1u);
}
} // namespace

