#include "ScriptTestSupport.h"

#include "engine/Game.h"
#include "engine/profiler/Profiler.h"
#include "engine/scripting/LuaWrapperFileExecutionCallbackObject.h"

#include "scriptapi/ScriptApi.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
class LuaWrapperTest : public ScriptTest
{
};

TEST_F(LuaWrapperTest, InitPublishesGlobalsAndHelpers)
{
    Run("assert(_LUA5 == true) assert(NORVEX_LUA_CLASS_KEY == '_NORVEX_ENGINE_LUA_CLASSES_')"
        "assert(gLua and gConsole and gGame and gEngineTimer)"
        "assert(tolua.type(gNorvexEngine) == 'NorvexEngine' and tolua.type(gProfiler) == 'Profiler')"
        "assert(type(bitlib.band) == 'function') breakpoint()"
        "local t = tcreate(0/0) local a = acreate(8) assert(type(t) == 'table' and type(a) == 'table')");
    EXPECT_EQ(Depth(), 0);
    // Four times the room the helpers grant: what a wild count costs stays within the cap's
    // 2^20 entries (16 and 40 bytes each) instead of growing with the count.
    Run("local function grown(create) local before = collectgarbage('count') local t = create(2^22)"
        " return collectgarbage('count') - before end "
        "assert(grown(acreate) < 48 * 1024 and grown(tcreate) < 48 * 1024)");

    EXPECT_FALSE(gLua.LoadAndCall("tcreate()", 0));
    EXPECT_TRUE(m_log.Contains("#ferror in function 'tcreate'."));
    EXPECT_FALSE(gLua.LoadAndCall("acreate('x')", 0));
    EXPECT_TRUE(m_log.Contains("#ferror in function 'acreate'."));
    // The console's script forms log their text as it is, never as a format, each as its own kind.
    Run("gConsole:Printf(1, 0, 'said %d') gConsole:Warning(0, 'warned %s') gConsole:Error(0, 'failed %u')");
    EXPECT_TRUE(m_log.Contains("said %d", CONSOLE_INFO) && m_log.Contains("warned %s", CONSOLE_WARNING) &&
                m_log.Contains("failed %u", CONSOLE_ERROR));
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, SyntaxErrorInFileIsReportedAndCounted)
{
    m_folder.WriteFile("common/scripts/Broken.lua", "function Broken(\n");
    const uint32_t errors = gLuaErrorCount;
    lua_pushnumber(L(), 7);
    gLua.ExecuteFile("Broken", "common/scripts", true);
    EXPECT_EQ(Depth(), 1);
    lua_pop(L(), 1);
    EXPECT_EQ(gLuaErrorCount, errors + 1);
    EXPECT_TRUE(m_log.Contains("Loading script file: Broken.lua", CONSOLE_INFO));
    EXPECT_TRUE(m_log.Contains("LUA: error in 'Broken'", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("LUA_ERROR: syntax error during pre-compilation.", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Lua msg:", CONSOLE_ERROR));
}

TEST_F(LuaWrapperTest, MissingFileComplainsOnlyWhenAsked)
{
    gLua.ExecuteFile("Nowhere", "common/scripts", false);
    EXPECT_TRUE(m_log.Messages().empty());
    gLua.ExecuteFile("Nowhere", "common/scripts", true);
    EXPECT_TRUE(m_log.Contains("Cannot load script file: common/scripts/Nowhere.lua", CONSOLE_ERROR));
    gLua.ExecuteFile("Nowhere", nullptr, true);
    EXPECT_TRUE(m_log.Contains("Cannot load script file: Nowhere.lua", CONSOLE_ERROR));
    m_log.Clear();
    gLua.ExecuteFile("Nowhere", "", true);
    EXPECT_TRUE(m_log.Contains("Cannot load script file: Nowhere.lua", CONSOLE_ERROR)) << "an empty folder is none";
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, FileRunsAndTellsTheCallback)
{
    struct Recorder : LuaWrapperFileExecutionCallbackObject
    {
        std::string seen;
        void OnFileExecuted(const char* name, const char* folder) override { seen = std::string(folder) + "|" + name; }
    } recorder;
    m_folder.WriteFile("common/scripts/Main.lua", "gRan = 42\n");
    gLua.SetFileExecutionCallback(&recorder);
    gLua.ExecuteFile("Main", "common/scripts", true);
    gLua.SetFileExecutionCallback(nullptr);
    EXPECT_EQ(recorder.seen, "common/scripts|Main");
    EXPECT_EQ(GlobalNumber("gRan"), 42);
}

TEST_F(LuaWrapperTest, EmptyFileIsRunNotReportedUnreadable)
{
    m_folder.WriteFile("common/scripts/Empty.lua", "");
    m_folder.WriteFile("common/scripts/After.lua", "gAfter = 1\n");
    gLua.ExecuteFile("Empty", "common/scripts", true);
    gLua.ExecuteFile("After", "common/scripts", true);
    EXPECT_FALSE(m_log.Contains("Cannot read script file: Empty.lua", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("Loading script file: Empty.lua"));
    EXPECT_EQ(GlobalNumber("gAfter"), 1);
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, MissingMethodLeavesTheStackAsBeforeTheArguments)
{
    lua_pushstring(L(), "below");
    gLua.PushInt(1);
    gLua.PushString("two");
    EXPECT_FALSE(gLua.ExecuteMethod(2, 0, &gGame, "Game", "NoSuchMethod"));
    EXPECT_EQ(Depth(), 1);
    EXPECT_TRUE(m_log.Contains("Variable \"NoSuchMethod\" is not function but nil in Game class", CONSOLE_ERROR));
    lua_pop(L(), 1);
}

TEST_F(LuaWrapperTest, MethodGetsSelfArgumentsAndGivesResults)
{
    Run("function Game:Sum(a, b, none) assert(self == gGame and none == nil) return a + b, 'x' end");
    gLua.PushInt(2);
    gLua.PushUnsigned(0xFFFFFFFFu);
    gLua.PushString(nullptr);
    ASSERT_TRUE(gLua.ExecuteMethod(3, 2, &gGame, "Game", "Sum"));
    ASSERT_EQ(Depth(), 2);
    EXPECT_EQ(lua_tonumber(L(), -2), 4294967297.0);
    EXPECT_STREQ(lua_tostring(L(), -1), "x");
    gLua.Pop(2);

    // A runtime error: logged with its message, false, and nothing left behind.
    Run("function Game:Fails() error('exploded') end");
    gLua.PushInt(5);
    EXPECT_FALSE(gLua.CallObjectMethod(&gGame, "Fails", 1, 3));
    EXPECT_EQ(Depth(), 0);
    EXPECT_TRUE(m_log.Contains("LUA: error in 'Fails'", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("LUA_ERROR: error while running the chunk.", CONSOLE_ERROR));
    EXPECT_TRUE(m_log.Contains("exploded", CONSOLE_ERROR));
    // The error text first, then the stack that raised it.
    EXPECT_TRUE(m_log.Contains("exploded\nstack traceback:\n\t[C]: in function 'error'", CONSOLE_ERROR));
}

TEST_F(LuaWrapperTest, ErrorMessageHandlerTakesTheErrorsOnEveryRoad)
{
    Run("gHandled = {} function _ERRORMESSAGE(m) table.insert(gHandled, m) return m end");
    m_log.Clear();

    // Runtime error: the handler runs inside the call, no "Lua msg:".
    EXPECT_FALSE(gLua.LoadAndCall("error('first')", 0));
    EXPECT_EQ(Depth(), 0);
    // Syntax error: ReportError hands the message to the handler, which succeeds.
    EXPECT_FALSE(gLua.LoadAndCall("this is not lua", 0));
    EXPECT_EQ(Depth(), 0);
    Run("assert(#gHandled == 2) assert(gHandled[1]:find('first'))");
    EXPECT_FALSE(m_log.Contains("Lua msg:"));
    EXPECT_TRUE(m_log.Contains("LUA: error in 'this is not lua'"));

    // A handler that fails itself: the call reports the handler error; the compiler message is logged.
    Run("function _ERRORMESSAGE(m) error('handler broke') end");
    m_log.Clear();
    EXPECT_FALSE(gLua.LoadAndCall("error('second')", 0));
    EXPECT_TRUE(m_log.Contains("LUA_ERROR: error while running _ERRORMESSAGE."));
    EXPECT_EQ(Depth(), 0);
    EXPECT_FALSE(gLua.LoadAndCall("still not lua", 0));
    EXPECT_TRUE(m_log.Contains("Lua msg:"));
    EXPECT_EQ(Depth(), 0);

    // A non-function handler counts as none.
    Run("_ERRORMESSAGE = 5");
    m_log.Clear();
    EXPECT_FALSE(gLua.LoadAndCall("error('third')", 0));
    EXPECT_TRUE(m_log.Contains("Lua msg:"));
    EXPECT_EQ(Depth(), 0);

    // An error outside any protected call ends the program: the installed panic handler logs it first.
    ASSERT_EQ(lua_atpanic(L(), &LuaPanicHandler), &LuaPanicHandler);
    lua_pushstring(L(), "unprotected");
    LuaPanicHandler(L());
    lua_pop(L(), 1);
    EXPECT_TRUE(m_log.Contains("LUA panic: unprotected!!!", CONSOLE_ERROR));
}

TEST_F(LuaWrapperTest, PrecompiledChunksAreRefused)
{
    Run("gDumped = string.dump(function() gEvil = true end)");
    lua_getglobal(L(), "gDumped");
    size_t length = 0;
    const char* bytes = lua_tolstring(L(), -1, &length);
    const std::string dumped(bytes, length);
    lua_pop(L(), 1);
    ASSERT_EQ(dumped.substr(0, 4), "\x1bLua");

    m_folder.WriteFile("common/scripts/Dumped.lua", dumped);
    const uint32_t errors = gLuaErrorCount;
    gLua.ExecuteFile("Dumped", "common/scripts", true);
    EXPECT_EQ(gLuaErrorCount, errors + 1);
    EXPECT_TRUE(m_log.Contains("precompiled chunks are refused"));
    EXPECT_EQ(GlobalString("gEvil"), "<nil>");
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, ScriptSideLoadersRefusePrecompiledChunksButLoadSource)
{
    Run("gDumped = string.dump(function() gEvil = true end)");
    lua_getglobal(L(), "gDumped");
    size_t length = 0;
    const char* bytes = lua_tolstring(L(), -1, &length);
    m_folder.WriteFile("Dumped.luac", std::string(bytes, length));
    m_folder.WriteFile("Hashed.luac", "#!/usr/bin/lua\n" + std::string(bytes, length));
    lua_pop(L(), 1);
    lua_pushstring(L(), (m_folder.Path() + "/Dumped.luac").c_str());
    lua_setglobal(L(), "gDumpedPath");
    lua_pushstring(L(), (m_folder.Path() + "/Hashed.luac").c_str());
    lua_setglobal(L(), "gHashedPath");

    Run("local f, e = loadstring(gDumped); gA = tostring(f) .. '|' .. tostring(e)");
    Run("local sent = false "
        "local f, e = load(function() if sent then return nil end sent = true return gDumped end) "
        "gB = tostring(f) .. '|' .. tostring(e)");
    Run("local f, e = loadfile(gDumpedPath); gC = tostring(f) .. '|' .. tostring(e)");
    Run("local f, e = loadfile(gHashedPath); gD = tostring(f) .. '|' .. tostring(e)");
    Run("local ok, e = pcall(dofile, gDumpedPath); gE = tostring(ok) .. '|' .. tostring(e)");
    const std::string refused = "nil|precompiled chunks are refused; scripts must be source text";
    EXPECT_EQ(GlobalString("gA"), refused);
    EXPECT_EQ(GlobalString("gB"), refused);
    EXPECT_EQ(GlobalString("gC"), refused);
    EXPECT_EQ(GlobalString("gD"), refused);
    EXPECT_NE(GlobalString("gE").find("false|"), std::string::npos);
    EXPECT_NE(GlobalString("gE").find("precompiled chunks are refused"), std::string::npos);
    EXPECT_EQ(GlobalString("gEvil"), "<nil>");

    // require's file searcher is a road too.
    m_folder.WriteFile("dumped/module.lua", std::string(bytes, length));
    m_folder.WriteFile("source/module.lua", "gRequired = ... return 3");
    lua_pushstring(L(), m_folder.Path().c_str());
    lua_setglobal(L(), "gRoot");
    Run("package.path = gRoot .. '/nowhere/?.lua;' .. gRoot .. '/?.lua' "
        "local ok, e = pcall(require, 'dumped.module') gF = tostring(ok) .. '|' .. tostring(e)");
    EXPECT_NE(GlobalString("gF").find("false|"), std::string::npos);
    EXPECT_NE(GlobalString("gF").find("precompiled chunks are refused"), std::string::npos);
    EXPECT_EQ(GlobalString("gEvil"), "<nil>");
    Run("local ok, e = pcall(require, 'missing') gG = tostring(ok) .. '|' .. tostring(e) "
        "gH = require('source.module')");
    EXPECT_NE(GlobalString("gG").find("/nowhere/missing.lua'"), std::string::npos);
    EXPECT_EQ(GlobalNumber("gH"), 3);
    EXPECT_EQ(GlobalString("gRequired"), "source.module");

    m_folder.WriteFile("Source.lua", "gFromFile = 5\nreturn 9");
    lua_pushstring(L(), (m_folder.Path() + "/Source.lua").c_str());
    lua_setglobal(L(), "gSourcePath");
    Run("gSum = loadstring('return 1 + 2')() + dofile(gSourcePath) "
        "local parts = {'return ', '4'} local i = 0 "
        "gSum = gSum + load(function() i = i + 1 return parts[i] end)()");
    EXPECT_EQ(GlobalNumber("gSum"), 16);
    EXPECT_EQ(GlobalNumber("gFromFile"), 5);
    // Source that fails to load gives nil and Lua's own message, as the standard loaders do.
    Run("local f, e = loadstring('x =', 'bad') local ok, e2 = pcall(dofile, gRoot .. '/none.lua') "
        "gN = select(2, loadstring('y =')) "
        "gI = tostring(f) .. '|' .. e .. '|' .. tostring(loadfile(gSourcePath)()) .. '|' .. e2:gsub('^.*/', '')");
    EXPECT_EQ(GlobalString("gI"),
              "nil|[string \"bad\"]:1: unexpected symbol near '<eof>'|9|none.lua: No such file or directory");
    EXPECT_EQ(GlobalString("gN"), "[string \"y =\"]:1: unexpected symbol near '<eof>'") << "unnamed: named by its text";
    // A reader giving no text, a broken module (empty path entries are skipped) and no path at all.
    m_folder.WriteFile("broken.lua", "x =");
    Run("local f, e = load(function() return {} end) gJ = tostring(f) .. '|' .. e:gsub('^.*:1: ', '') "
        "package.path = ';;' .. gRoot .. '/?.lua' local ok, e2 = pcall(require, 'broken') "
        "gK = tostring(ok) .. '|' .. e2:gsub('from file.*:1:', 'from file:') "
        "local _, e4 = pcall(require, 'absent') gM = tostring(e4:find(\"no file ''\", 1, true)) "
        "package.path = nil local ok3, e3 = pcall(require, 'broken2') gL = tostring(ok3) .. '|' .. e3");
    EXPECT_EQ(GlobalString("gJ"), "nil|reader function must return a string");
    EXPECT_EQ(GlobalString("gK"), "false|error loading module 'broken' from file: unexpected symbol near '<eof>'");
    EXPECT_EQ(GlobalString("gL"), "false|'package.path' must be a string");
    EXPECT_EQ(GlobalString("gM"), "nil") << "an empty entry names no file";
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, UnknownClassesAreRefusedBeforeTolua)
{
    int object = 0;
    lua_pushstring(L(), "below");
    EXPECT_FALSE(gLua.PushUserType(&object, "NoSuchClass"));
    EXPECT_TRUE(m_log.Contains("Cannot push an object of the unknown LUA class NoSuchClass", CONSOLE_ERROR));
    EXPECT_FALSE(gLua.RegisterGlobalObject(&object, "NoSuchClass", "gNothing"));
    EXPECT_EQ(Depth(), 1);

    gLua.PushInt(1);
    EXPECT_FALSE(gLua.ExecuteMethod(1, 0, &object, "NoSuchClass", "OnTick"));
    EXPECT_TRUE(m_log.Contains("Unknown LUA class NoSuchClass in a call to OnTick method", CONSOLE_ERROR));
    gLua.PushInt(1);
    EXPECT_FALSE(gLua.ExecuteMethod(1, 0, nullptr, "Game", "OnTick"));
    EXPECT_EQ(Depth(), 1);

    // A null object pushes nil.
    EXPECT_TRUE(gLua.PushUserType(nullptr, "NoSuchClass"));
    EXPECT_TRUE(gLua.PushObject(nullptr));
    EXPECT_TRUE(lua_isnil(L(), -1) && lua_isnil(L(), -2));
    lua_pop(L(), 3);
}

TEST_F(LuaWrapperTest, StaticFunctionsOfRegisteredClasses)
{
    gLua.RegisterClass("ScriptOnlyClass", "Game");
    EXPECT_TRUE(gLua.IsKnownClass("ScriptOnlyClass"));
    Run("function ScriptOnlyClass.Twice(v) gTwice = v * 2 end");
    gLua.PushInt(21);
    EXPECT_TRUE(gLua.ExecuteStaticFunction("ScriptOnlyClass", "Twice", 1, 0));
    EXPECT_EQ(GlobalNumber("gTwice"), 42);
    gLua.PushInt(1);
    EXPECT_FALSE(gLua.ExecuteStaticFunction("ScriptOnlyClass", "Missing", 1, 0));
    gLua.PushInt(1);
    EXPECT_FALSE(gLua.ExecuteStaticFunction("NoSuchClass", "Twice", 1, 0));
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, UnregisteredObjectsAreNotReused)
{
    Run("gFirst = gGame");
    gLua.UnregisterObject(&gGame);
    gLua.PushObject(&gGame);
    lua_getglobal(L(), "gFirst");
    EXPECT_FALSE(lua_rawequal(L(), -1, -2));
    lua_pop(L(), 2);
}

TEST_F(LuaWrapperTest, ReadFloatArrayStopsAtTheFirstNil)
{
    Run("gArray = {1, 2, nil, 4}");
    lua_getglobal(L(), "gArray");
    const Dynarray<float>& values = gLua.ReadFloatArray(-1);
    ASSERT_EQ(values.Count(), 2);
    EXPECT_EQ(values[0], 1.0f);
    EXPECT_EQ(values[1], 2.0f);
    lua_pushnumber(L(), 3);
    EXPECT_EQ(gLua.ReadFloatArray(-1).Count(), 0);
    lua_pop(L(), 2);
}

TEST_F(LuaWrapperTest, StackDumpDescribesLocals)
{
    Run("function Game:Dump() local v = Vector:new_local(1, 2, 3, 4) local n = 5 local s = 'text' local b = false "
        "local m = Matrix:new_local() m:LoadTranslation(5, 6, 7) gLua:DumpLuaStackToConsole() end");
    EXPECT_TRUE(gLua.CallObjectMethod(&gGame, "Dump", 0, 0));
    EXPECT_TRUE(m_log.Contains("Lua stack dump:", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("(1) self - type userdata - value <unsupported yet>", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("- type userdata - value [1.000000 2.000000 3.000000 4.000000]", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("(3) n - type number - value 5", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("(4) s - type string - value text", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("(5) b - type boolean - value false", CONSOLE_WARNING));
    EXPECT_TRUE(m_log.Contains("(6) m - type userdata - value [1.000000 0.000000 0.000000 0.000000],[0.000000 "
                               "1.000000 0.000000 0.000000],[0.000000 0.000000 1.000000 0.000000],[5.000000 "
                               "6.000000 7.000000 1.000000]", CONSOLE_WARNING));
}

// Lets large blocks fail on demand, as a system out of memory would; small ones, shrinking and
// freeing still work, so Lua can report the error.
bool gRefuseGrowth = false;
void* RefusingAlloc(void* userData, void* block, size_t oldSize, size_t newSize)
{
    if (gRefuseGrowth && newSize > 4096 && newSize > oldSize)
        return nullptr;
    return LuaEngineAlloc(userData, block, oldSize, newSize);
}

TEST(LuaEngineAllocTest, FailedGrowthGivesNullAndKeepsTheBlock)
{
    char* const block = static_cast<char*>(LuaEngineAlloc(nullptr, nullptr, 0, 32));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "kept", 5);
    EXPECT_EQ(LuaEngineAlloc(nullptr, block, 32, SIZE_MAX - 4), nullptr);
    EXPECT_STREQ(block, "kept");
    char* const grown = static_cast<char*>(LuaEngineAlloc(nullptr, block, 32, 64));
    ASSERT_NE(grown, nullptr);
    EXPECT_STREQ(grown, "kept");
    EXPECT_EQ(LuaEngineAlloc(nullptr, grown, 64, 0), nullptr);
}

TEST_F(LuaWrapperTest, MemoryErrorsReachTheScriptAndAreReportedAsSuch)
{
    lua_setallocf(L(), &RefusingAlloc, nullptr);
    gRefuseGrowth = true;
    // The lexer's buffer for a long literal grows past what is allowed.
    const bool loaded = gLua.LoadAndCall(("gText = '" + std::string(10000, 'x') + "'").c_str(), 0);
    gRefuseGrowth = false;
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(m_log.Contains("LUA_ERROR: memory allocation error.", CONSOLE_ERROR));
    EXPECT_FALSE(m_log.Contains("LUA_ERROR: syntax error during pre-compilation.", CONSOLE_ERROR));
    EXPECT_EQ(Depth(), 0);

    // A script that runs out while running gets Lua's error; the state goes on working.
    Run("function Grow() gBig = string.rep('x', 100000) end");
    lua_getglobal(L(), "Grow");
    gRefuseGrowth = true;
    const bool ran = gLua.ProtectedCall("Grow", 0, 0);
    gRefuseGrowth = false;
    EXPECT_FALSE(ran);
    EXPECT_TRUE(m_log.Contains("not enough memory", CONSOLE_ERROR));
    lua_setallocf(L(), &LuaEngineAlloc, nullptr);
    Run("gAfter = 7");
    EXPECT_EQ(GlobalNumber("gAfter"), 7);
}

TEST(LuaWrapperClosedTest, CallsWithoutAStateFailWithoutTouchingIt)
{
    ConsoleCapture capture;
    LuaWrapper wrapper;
    for (int round = 0; round < 2; ++round)
    {
        EXPECT_FALSE(wrapper.ExecuteMethod(0, 0, &gGame, "Game", "Sum"));
        EXPECT_FALSE(wrapper.CallObjectMethod(nullptr, "Sum", 0, 0));
        EXPECT_FALSE(wrapper.ExecuteStaticFunction("Game", "Sum", 0, 0));
        EXPECT_FALSE(wrapper.LoadAndCall("x = 1", 0));
        ASSERT_TRUE(wrapper.Init());
        wrapper.Close();
    }
    EXPECT_TRUE(capture.Contains("LUA is not running: cannot call Sum method", CONSOLE_ERROR));
}

TEST_F(LuaWrapperTest, CollectorRunsWithItsPauseAndStepSettings)
{
    // Setting a value answers the one in force: the pause and step multiplier of Init.
    EXPECT_EQ(lua_gc(L(), LUA_GCSETPAUSE, 200), 200);
    EXPECT_EQ(lua_gc(L(), LUA_GCSETSTEPMUL, 100), 100);
    EXPECT_EQ(LuaWrapper().m_gcStepSize, 15);

    // The per-frame step does as much work as the step size asks: from a finished cycle, 15 KB of
    // work frees next to nothing of 3 MB of garbage, while a huge step runs a whole cycle.
    int freed[2] = {};
    for (const int stepSize : {15, 1 << 20})
    {
        gLua.CollectGarbage(true);
        lua_gc(L(), LUA_GCSTOP, 0);
        Run("for i = 1, 50000 do local t = {i, i} end");
        gLua.m_gcStepSize = stepSize;
        gProfiler.SetValue(PROFILER_LUA_GC_MEM, 0.0f, PROFILER_SOURCE_MAIN);
        gLua.CollectGarbage(false);
        freed[stepSize == 15 ? 0 : 1] = int(gProfiler.GetCurrentValue(PROFILER_LUA_GC_MEM));
    }
    gLua.m_gcStepSize = 15;
    lua_gc(L(), LUA_GCRESTART, 0);
    EXPECT_LT(freed[0], 500);
    EXPECT_GT(freed[1], 2000);
}

TEST_F(LuaWrapperTest, CollectorStepsAndReports)
{
    // The statistics: memory in use after each collection, the freed memory adding up until the
    // profiler samples it.
    gLua.CollectGarbage(true);
    gProfiler.SetValue(PROFILER_LUA_GC_MEM, 0.0f, PROFILER_SOURCE_MAIN);
    lua_gc(L(), LUA_GCSTOP, 0);
    Run("for i = 1, 20000 do local t = {i} end");
    lua_gc(L(), LUA_GCRESTART, 0);
    const float held = float(lua_gc(L(), LUA_GCCOUNT, 0));
    gLua.CollectGarbage(true);
    const float kept = float(lua_gc(L(), LUA_GCCOUNT, 0));
    EXPECT_FLOAT_EQ(gProfiler.GetCurrentValue(PROFILER_LUA_MEM), kept);
    const float freed = gProfiler.GetCurrentValue(PROFILER_LUA_GC_MEM);
    EXPECT_GT(freed, 200.0f);
    EXPECT_NEAR(freed, held - kept, 2.0f);
    gLua.CollectGarbage(true);
    EXPECT_GE(gProfiler.GetCurrentValue(PROFILER_LUA_GC_MEM), freed) << "added, not set";
    gLua.Tick();
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, BitLibraryAndMathBindings)
{
    Run("assert(bitlib.band(12, 10) == 8) assert(bitlib.bor(12, 3, 16) == 31) assert(bitlib.bxor(5, 1) == 4)"
        "assert(bitlib.bnot(0) == -1) assert(bitlib.lshift(1, 4) == 16) assert(bitlib.lshift(1, 40) == 0)"
        "assert(bitlib.rshift(-1, 28) == 15) assert(bitlib.arshift(-16, 2) == -4) assert(bitlib.imod(7, 3) == 1)"
        "assert(bitlib.bchg(5, 1) == 7) assert(bitlib.bchg(7, 1) == 5) assert(bitlib.lshift(1, 32) == 0)"
        "assert(bitlib.bchg(5, 32) == 5) assert(bitlib.rshift(8, 32) == 0)"
        "assert(bitlib.arshift(-16, 40) == -1) assert(bitlib.imod(7, -2) == 1) assert(bitlib.imod(-2147483648, -1) == 0)");
    EXPECT_FALSE(gLua.LoadAndCall("bitlib.imod(1, 0)", 0));

    Run("local v = Vector:new_local(3, 4, 0, 0) assert(v:Length() == 5)"
        "local w = Vector:new_local() w:Add(v, Vector.UNITX) assert(w.x == 4)"
        "local m = Matrix:new_local() m:LoadQuaternion(Quaternion.ZERO) assert(m:At(0, 0) == 1 and m:At(3, 3) == 1)"
        "local o = OBBox4:new_local() o:SetExtent(3, v) assert(o:GetExtent(3).x == 0)"
        "local b = BoundingBox4:new_local(Vector.ZERO4, Vector.ONE) assert(b:Inside3D(Vector.HALF))");
    EXPECT_EQ(Depth(), 0);
}

// Each standard library answers with its own functions, not with an engine package of the same name.
TEST_F(LuaWrapperTest, StandardLibrariesAreLuas)
{
    struct Case
    {
        const char* library;
        const char* check;
    };
    const Case cases[] = {
        {"math", "math.floor(2.7) == 2 and math.max(1, 5, 3) == 5 and math.abs(-2) == 2 and math.pi > 3.14"},
        {"string", "string.format('%03d', 7) == '007' and string.sub('abcd', 2, 3) == 'bc'"},
        {"table", "(function() local t = {} table.insert(t, 'x') return table.concat(t, ',') == 'x' end)()"},
        {"os", "type(os.time()) == 'number' and type(os.clock()) == 'number'"},
        {"io", "type(io.write) == 'function' and io.type(io.stdout) == 'file'"},
        {"debug", "type(debug.traceback()) == 'string' and debug.getinfo(1, 'S').what == 'main'"},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(gLua.LoadAndCall((std::string("assert(type(") + c.library + ") == 'table') assert(" + c.check + ")").c_str(), 0))
            << c.library;
    EXPECT_EQ(Depth(), 0);
}

TEST_F(LuaWrapperTest, ReplicatedMethodsAreCalledById)
{
    Run("gGot = nil gId = ReplicateMethod(function(a, b, c) gGot = tostring(a) .. tostring(b) .. tostring(c) end)"
        "assert(toServer == 1 and toClient == 2 and reliable == 4 and unreliable == 0)"
        "gSecondId = ReplicateMethod(print)");
    const uint32_t id = uint32_t(GlobalNumber("gId"));
    EXPECT_EQ(GlobalNumber("gSecondId"), id + 1);
    ScriptReplicatedArgument arguments[3];
    arguments[0].kind = ScriptReplicatedArgument::NUMBER;
    arguments[0].number = 3;
    arguments[1].kind = ScriptReplicatedArgument::BOOLEAN;
    arguments[1].boolean = true;
    arguments[2].kind = ScriptReplicatedArgument::STRING;
    arguments[2].text = "s";
    EXPECT_TRUE(gLua.CallReplicatedMethod(id, arguments, 3));
    EXPECT_EQ(GlobalString("gGot"), "3trues");
    EXPECT_FALSE(gLua.CallReplicatedMethod(id + 10, arguments, 3));
    EXPECT_TRUE(m_log.Contains("Unknown replicated method id", CONSOLE_ERROR));
    // An entity arrives as itself while it lives and as nil once it has died.
    Run("gEntityMethod = ReplicateMethod(function(e) gGot = (gGot or '') .. (e and e:GetName() or 'gone') end)");
    auto* courier = new Entity;
    courier->SetName("Courier");
    arguments[0].kind = ScriptReplicatedArgument::ENTITY;
    arguments[0].entity = courier;
    EXPECT_TRUE(gLua.CallReplicatedMethod(uint32_t(GlobalNumber("gEntityMethod")), arguments, 1));
    delete courier;
    EXPECT_TRUE(gLua.CallReplicatedMethod(uint32_t(GlobalNumber("gEntityMethod")), arguments, 1));
    EXPECT_EQ(GlobalString("gGot"), "3truesCouriergone");
    arguments[2].kind = ScriptReplicatedArgument::Kind(9);
    EXPECT_FALSE(gLua.CallReplicatedMethod(id, arguments, 3)) << "the pushed arguments and the function go";
    Run("debug.getregistry().REP_METHODS__ = nil");
    EXPECT_FALSE(gLua.CallReplicatedMethod(id, arguments, 3));
    EXPECT_TRUE(m_log.Contains("called before the replication globals exist", CONSOLE_ERROR));
    EXPECT_EQ(Depth(), 0);
}
TEST_F(LuaWrapperTest, ResultAndArgumentCountsBeyondTheStackAreRefused)
{
    // A script asking for more results than the stack can hold must not write past it.
    Run("assert(gLua:LoadAndCall('return 1', 1000000) == false)");
    EXPECT_FALSE(gLua.LoadAndCall("return 1", -7));
    EXPECT_EQ(Depth(), 0);

    // The argument count of a replicated call comes from the peer.
    Run("gId = ReplicateMethod(function(...) gCount = select('#', ...) end)");
    const uint32_t id = uint32_t(GlobalNumber("gId"));
    std::vector<ScriptReplicatedArgument> many(200000);
    EXPECT_FALSE(gLua.CallReplicatedMethod(id, many.data(), uint32_t(many.size())));
    EXPECT_EQ(Depth(), 0);
    EXPECT_TRUE(gLua.CallReplicatedMethod(id, many.data(), 100));
    EXPECT_EQ(GlobalNumber("gCount"), 100);
    EXPECT_EQ(Depth(), 0);
}
} // namespace
