#include "engine/scripting/LuaWrapper.h"

#include "core/console/GameConsole.h"
#include "engine/profiler/Profiler.h"
#include "core/filesystem/FileReader.h"
#include "engine/scripting/LuaBaseClass.h"
#include "engine/scripting/LuaClassIndex.h"
#include "engine/scripting/LuaSourceOnlyLoaders.h"
#include "engine/scripting/LuaWrapperFileExecutionCallbackObject.h"
#include "scriptapi/ScriptApi.h"

#include <lua.hpp>
#include <tolua++.h>

#include <cstring>
#include <memory>

LuaWrapper gLua;
uint32_t gLuaErrorCount = 0;

namespace
{
// Room for n entries; a missing count is the script's error.
int CreateTable(lua_State* state, bool array, const char* function)
{
    if (!lua_isnumber(state, 1))
        return luaL_error(state, "#ferror in function '%s'.", function);
    const lua_Number requested = lua_tonumber(state, 1);
    // Far more than any script needs; a wild count must not ask for gigabytes, and a NaN (which no
    // conversion to int can take) asks for no room.
    const int count = !(requested > 0) ? 0 : requested > 1 << 20 ? 1 << 20 : int(requested);
    lua_createtable(state, array ? count : 0, array ? 0 : count);
    return 1;
}

int ScriptBreakpoint(lua_State*)
{
    return 0;
}

int ScriptTCreate(lua_State* state)
{
    return CreateTable(state, false, "tcreate");
}

int ScriptACreate(lua_State* state)
{
    return CreateTable(state, true, "acreate");
}

// Whether the library's `load` (upvalue 2) is running: it hands the errors of its reader back to
// the script as its result, which must stay the bare message.
bool InsideLoad(lua_State* state)
{
    lua_Debug frame;
    for (int level = 1; lua_getstack(state, level, &frame) != 0; ++level)
    {
        lua_getinfo(state, "f", &frame);
        const bool load = lua_rawequal(state, -1, lua_upvalueindex(2)) != 0;
        lua_pop(state, 1);
        if (load)
            return true;
    }
    return false;
}

// The message handler of calls that have no script handler: the error text first, then the stack
// of the script that raised it, from the library's traceback (upvalue 1) as it was at start-up.
int AddTraceback(lua_State* state)
{
    if (!lua_isstring(state, 1) || InsideLoad(state))
        return 1;
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_pushvalue(state, 1);
    lua_pushinteger(state, 2);
    // A traceback that fails itself leaves the message as it was.
    if (lua_pcall(state, 2, 1, 0) != 0 || !lua_isstring(state, -1))
        lua_settop(state, 1);
    return 1;
}

const char* ErrorCodeText(int code)
{
    switch (code)
    {
    case LUA_ERRRUN:
        return "LUA_ERROR: error while running the chunk.";
    case LUA_ERRSYNTAX:
        return "LUA_ERROR: syntax error during pre-compilation.";
    case LUA_ERRMEM:
        return "LUA_ERROR: memory allocation error.";
    case LUA_ERRERR:
        return "LUA_ERROR: error while running _ERRORMESSAGE.";
    case LUA_ERRFILE:
        return "LUA_ERROR: error opening the file.";
    default:
        return "LUA_ERROR: unknown error.";
    }
}
} // namespace

LuaWrapper::~LuaWrapper()
{
    if (m_state != nullptr)
        lua_close(m_state);
}

bool LuaWrapper::Init()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_SCRIPT, "Initializing LUA wrapper...");
    gLuaErrorCount = 0;
    if (m_state != nullptr)
        Close();
    m_userTypes.Clear();
    m_typeTests.Clear();
    m_state = lua_newstate(&LuaEngineAlloc, &m_typeTests);
    if (m_state == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot create the LUA state");
        return false;
    }
    lua_atpanic(m_state, &LuaPanicHandler);
    m_userTypes.Open(m_state);
    lua_pushliteral(m_state, "_ERRORMESSAGE");
    m_errorMessageKey = luaL_ref(m_state, LUA_REGISTRYINDEX);

    lua_gc(m_state, LUA_GCSTOP, 0);
    luaL_openlibs(m_state);
    InstallSourceOnlyLoaders(m_state);
    lua_getglobal(m_state, "debug");
    lua_getfield(m_state, -1, "traceback");
    lua_getglobal(m_state, "load");
    lua_pushcclosure(m_state, &AddTraceback, 2);
    m_tracebackKey = luaL_ref(m_state, LUA_REGISTRYINDEX);
    lua_pushboolean(m_state, 1);
    lua_setglobal(m_state, "_LUA5");
    lua_pushstring(m_state, "_NORVEX_ENGINE_LUA_CLASSES_");
    lua_setglobal(m_state, "NORVEX_LUA_CLASS_KEY");
    luaopen_bitlib(m_state);
    lua_settop(m_state, 0);
    lua_gc(m_state, LUA_GCRESTART, 0);
    lua_gc(m_state, LUA_GCSETPAUSE, m_gcPause);
    lua_gc(m_state, LUA_GCSETSTEPMUL, m_gcStepMultiplier);

    tolua_open(m_state);
    RegisterScriptReplicationGlobals(m_state);
    OpenScriptPackages(m_state);
    RegisterEngineScriptGlobals(*this);
    RegisterHelperFunctions();
    lua_settop(m_state, 0);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_SCRIPT, "done.");
    return true;
}

void LuaWrapper::RegisterHelperFunctions()
{
    lua_register(m_state, "breakpoint", &ScriptBreakpoint);
    lua_register(m_state, "tcreate", &ScriptTCreate);
    lua_register(m_state, "acreate", &ScriptACreate);
}

void LuaWrapper::Close()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_SCRIPT, "Closing LUA wrapper");
    if (m_state != nullptr)
        lua_close(m_state);
    m_state = nullptr;
    m_userTypes.Clear();
}

int LuaWrapper::LoadChunk(const char* text, size_t length, const char* chunkName)
{
    // Precompiled chunks are never loaded: crafted bytecode can crash this Lua version.
    if (length > 0 && text[0] == LUA_SIGNATURE[0])
    {
        lua_pushstring(m_state, "precompiled chunks are refused; scripts must be source text");
        return LUA_ERRSYNTAX;
    }
    return luaL_loadbuffer(m_state, text, length, chunkName);
}

void LuaWrapper::ExecuteFile(const char* name, const char* folder, bool complain)
{
    if (m_state == nullptr)
        return;
    FileReader reader;
    if (!reader.Open(name, "lua", folder, 0))
    {
        if (!complain)
            return;
        if (folder != nullptr && folder[0] != '\0')
            gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot load script file: %s/%s.lua", folder, name);
        else
            gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot load script file: %s.lua", name);
        return;
    }
    if (m_fileCallback != nullptr)
        m_fileCallback->OnFileExecuted(name, folder);
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_SCRIPT, "Loading script file: %s.lua", name);

    const uint32_t size = reader.GetSize();
    std::unique_ptr<char[]> text(new char[size_t(size) + 1]);
    if (!reader.Read(text.get(), size))
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot read script file: %s.lua", name);
        return;
    }
    text[size] = '\0';
    if (const int code = LoadChunk(text.get(), size, name); code != 0)
    {
        ReportError(name, code, true);
        ++gLuaErrorCount;
        return;
    }
    ProtectedCall(name, 0, 0);
}

bool LuaWrapper::LoadAndCall(const char* chunkText, int resultCount)
{
    if (m_state == nullptr || chunkText == nullptr)
        return false;
    if (const int code = LoadChunk(chunkText, std::strlen(chunkText), chunkText); code != 0)
    {
        ReportError(chunkText, code, true);
        ++gLuaErrorCount;
        return false;
    }
    return ProtectedCall(chunkText, 0, resultCount);
}

bool LuaWrapper::ProtectedCall(const char* context, int argumentCount, int resultCount)
{
    // Lua writes the results it is asked for without looking at the stack's size, and scripts
    // choose this count (gLua:LoadAndCall): a count the stack cannot hold would write past it.
    if (resultCount < LUA_MULTRET || (resultCount > 0 && !lua_checkstack(m_state, resultCount)))
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "LUA: error in '%s'", context != nullptr ? context : "");
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "LUA: cannot take %d results", resultCount);
        lua_pop(m_state, argumentCount + 1);
        ++gLuaErrorCount;
        return false;
    }
    lua_rawgeti(m_state, LUA_REGISTRYINDEX, m_errorMessageKey);
    lua_gettable(m_state, LUA_GLOBALSINDEX);
    const bool scriptHandler = lua_isfunction(m_state, -1);
    if (!scriptHandler)
    {
        lua_pop(m_state, 1);
        lua_rawgeti(m_state, LUA_REGISTRYINDEX, m_tracebackKey);
    }
    int handlerIndex = 0;
    if (lua_isfunction(m_state, -1))
    {
        lua_insert(m_state, -2 - argumentCount);
        handlerIndex = lua_gettop(m_state) - argumentCount - 1;
    }
    else
        lua_pop(m_state, 1);

    const int code = lua_pcall(m_state, argumentCount, resultCount, handlerIndex);
    if (code != 0)
    {
        ReportError(context, code, !scriptHandler);
        ++gLuaErrorCount;
    }
    if (handlerIndex != 0)
        lua_remove(m_state, handlerIndex);
    return code == 0;
}

void LuaWrapper::ReportError(const char* context, int code, bool showMessage)
{
    gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "LUA: error in '%s'", context != nullptr ? context : "");
    gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "%s", ErrorCodeText(code));
    if (showMessage && lua_type(m_state, -1) == LUA_TSTRING)
    {
        bool handled = false;
        lua_getglobal(m_state, "_ERRORMESSAGE");
        if (lua_isfunction(m_state, -1))
        {
            lua_pushvalue(m_state, -2);
            handled = lua_pcall(m_state, 1, 0, 0) == 0;
            if (!handled)
                lua_pop(m_state, 1);
        }
        else
            lua_pop(m_state, 1);
        if (!handled)
            gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Lua msg:%s", lua_tostring(m_state, -1));
    }
    // The message goes whatever happened above, so the caller's stack is as it was.
    lua_pop(m_state, 1);
}

bool LuaWrapper::ExecuteMethod(int argumentCount, int resultCount, void* self, const char* className,
                               const char* methodName)
{
    if (m_state == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "LUA is not running: cannot call %s method", methodName);
        return false;
    }
    m_profiler.OnCallBegin(m_state);
    bool result = false;
    const LuaUserTypeCache::Pushed pushed =
        self != nullptr ? m_userTypes.PushKnownMethod(m_state, self, className, methodName) : LuaUserTypeCache::PUSHED_NOTHING;
    if (pushed == LuaUserTypeCache::PUSHED_NOTHING && (self == nullptr || !PushUserType(self, className)))
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Unknown LUA class %s in a call to %s method", className ? className : "(null)",
                       methodName);
        lua_pop(m_state, argumentCount);
    }
    else
    {
        // The library's index event only for what the direct lookups leave to it.
        if (pushed != LuaUserTypeCache::PUSHED_METHOD_AND_OBJECT)
        {
            lua_pushstring(m_state, methodName);
            if (LuaFindClassMember(m_state, -2, -1))
                lua_remove(m_state, -2);
            else
            {
                lua_pop(m_state, 1);
                lua_getfield(m_state, -1, methodName);
            }
            // self, member -> member, self
            lua_insert(m_state, -2);
        }
        if (pushed != LuaUserTypeCache::PUSHED_METHOD_AND_OBJECT && !lua_isfunction(m_state, -2))
        {
            gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Variable \"%s\" is not function but %s in %s class", methodName,
                           luaL_typename(m_state, -2), className);
            lua_pop(m_state, argumentCount + 2);
        }
        else
        {
            // function, self, arguments (without arguments they already stand so)
            if (argumentCount != 0)
            {
                lua_insert(m_state, -2 - argumentCount);
                lua_insert(m_state, -2 - argumentCount);
            }
            result = ProtectedCall(methodName, argumentCount + 1, resultCount);
        }
    }
    m_profiler.OnCallEnd(m_state);
    return result;
}

bool LuaWrapper::CallObjectMethod(LuaBaseClass* object, const char* methodName, int argumentCount, int resultCount)
{
    // A null object is reported (and its arguments popped) by ExecuteMethod.
    return ExecuteMethod(argumentCount, resultCount, object, object != nullptr ? object->GetScriptClassName() : nullptr,
                         methodName);
}

bool LuaWrapper::ExecuteStaticFunction(const char* className, const char* functionName, int argumentCount,
                                       int resultCount)
{
    if (m_state == nullptr)
        return false;
    lua_getfield(m_state, LUA_REGISTRYINDEX, className);
    if (lua_istable(m_state, -1))
    {
        lua_pushstring(m_state, functionName);
        lua_rawget(m_state, -2);
        if (lua_isfunction(m_state, -1))
        {
            lua_remove(m_state, -2);
            lua_insert(m_state, -1 - argumentCount);
            return ProtectedCall("ExecuteStaticFunction", argumentCount, resultCount);
        }
        lua_pop(m_state, 1);
    }
    lua_pop(m_state, 1 + argumentCount);
    return false;
}

void LuaWrapper::RegisterClass(const char* className, const char* baseClassName)
{
    if (IsKnownClass(className))
        return;
    tolua_usertype(m_state, className);
    tolua_module(m_state, nullptr, 0);
    tolua_beginmodule(m_state, nullptr);
    tolua_cclass(m_state, className, className, baseClassName != nullptr ? baseClassName : "", nullptr);
    tolua_endmodule(m_state);
    MendClassAssignment(m_state);
    LuaSpeedUpClassIndex(m_state);
}

bool LuaWrapper::RegisterGlobalObject(void* object, const char* className, const char* globalName)
{
    if (!PushUserType(object, className))
        return false;
    lua_setglobal(m_state, globalName);
    return true;
}

void LuaWrapper::UnregisterObject(LuaBaseClass* object)
{
    if (m_state == nullptr || object == nullptr)
        return;
    m_userTypes.Forget(object);
    luaL_getmetatable(m_state, object->GetScriptClassName());
    if (lua_istable(m_state, -1))
    {
        lua_pushstring(m_state, "tolua_ubox");
        lua_rawget(m_state, -2);
        if (!lua_istable(m_state, -1))
        {
            lua_pop(m_state, 1);
            lua_pushstring(m_state, "tolua_ubox");
            lua_rawget(m_state, LUA_REGISTRYINDEX);
        }
        if (lua_istable(m_state, -1))
        {
            lua_pushlightuserdata(m_state, object);
            lua_pushnil(m_state);
            lua_rawset(m_state, -3);
        }
        lua_pop(m_state, 1);
    }
    lua_pop(m_state, 1);
}

void LuaWrapper::PushBool(bool value)
{
    lua_pushboolean(m_state, value ? 1 : 0);
}

void LuaWrapper::PushInt(int32_t value)
{
    lua_pushnumber(m_state, value);
}

void LuaWrapper::PushUnsigned(uint32_t value)
{
    lua_pushnumber(m_state, lua_Number(value));
}

void LuaWrapper::PushString(const char* value)
{
    if (value == nullptr)
        lua_pushnil(m_state);
    else
        lua_pushstring(m_state, value);
}

bool LuaWrapper::PushObject(LuaBaseClass* object)
{
    if (object == nullptr)
    {
        lua_pushnil(m_state);
        return true;
    }
    return PushUserType(object, object->GetScriptClassName());
}

bool LuaWrapper::IsKnownClass(const char* className) const
{
    if (m_state == nullptr || className == nullptr)
        return false;
    luaL_getmetatable(m_state, className);
    const bool known = lua_istable(m_state, -1);
    lua_pop(m_state, 1);
    return known;
}

bool LuaWrapper::PushUserType(void* object, const char* className)
{
    return PushCheckedUserType(object, className, false);
}

bool LuaWrapper::PushOwnedUserType(void* object, const char* className)
{
    return PushCheckedUserType(object, className, true);
}

bool LuaWrapper::PushCheckedUserType(void* object, const char* className, bool takeOwnership)
{
    if (object == nullptr)
    {
        lua_pushnil(m_state);
        return true;
    }
    if (!takeOwnership && m_userTypes.PushKnown(m_state, object, className))
        return true;
    // tolua++ would raise an error outside any protected call for a class it does not know, which
    // ends in the panic handler: refuse here instead.
    if (!IsKnownClass(className))
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot push an object of the unknown LUA class %s", className ? className : "(null)");
        return false;
    }
    if (takeOwnership)
        tolua_pushusertype_and_takeownership(m_state, object, className);
    else
        tolua_pushusertype(m_state, object, className);
    return true;
}

void LuaWrapper::Pop(int count)
{
    lua_pop(m_state, count);
}

bool LuaWrapper::GetBoolAt(int index) const
{
    return lua_toboolean(m_state, index) != 0;
}

const Dynarray<float>& LuaWrapper::ReadFloatArray(int index)
{
    m_floatArray.Clear();
    if (!lua_istable(m_state, index))
        return m_floatArray;
    const int table = index < 0 && index > LUA_REGISTRYINDEX ? lua_gettop(m_state) + index + 1 : index;
    for (int i = 1;; ++i)
    {
        lua_rawgeti(m_state, table, i);
        const bool isNil = lua_isnil(m_state, -1);
        if (!isNil)
            m_floatArray.Add(float(lua_tonumber(m_state, -1)));
        lua_pop(m_state, 1);
        if (isNil)
            break;
    }
    return m_floatArray;
}

void LuaWrapper::CollectGarbage(bool full)
{
    if (m_state == nullptr)
        return;
    gProfiler.StartTimer(PROFILER_LUA_GC_TIME, PROFILER_SOURCE_MAIN);
    const int before = lua_gc(m_state, LUA_GCCOUNT, 0);
    if (full)
        lua_gc(m_state, LUA_GCCOLLECT, 0);
    else
        lua_gc(m_state, LUA_GCSTEP, m_gcStepSize);
    const int after = lua_gc(m_state, LUA_GCCOUNT, 0);
    gProfiler.SetValue(PROFILER_LUA_MEM, float(after), PROFILER_SOURCE_MAIN);
    gProfiler.AddValue(PROFILER_LUA_GC_MEM, float(before - after), PROFILER_SOURCE_MAIN);
    gProfiler.StopTimer(PROFILER_LUA_GC_TIME, PROFILER_SOURCE_MAIN);
}

void LuaWrapper::ProfilerEnter()
{
    if (m_state != nullptr)
        m_profiler.OnTickBegin();
}

void LuaWrapper::ProfilerLeave()
{
    if (m_state != nullptr)
        m_profiler.OnTickEnd();
}

void LuaWrapper::ProfilerCommand(const char* command)
{
    m_profiler.Command(m_state, command);
}

bool LuaWrapper::SetEntityReplicatedProperty(const LuaEntityPointer& entity)
{
    if (entity.Get() == nullptr || !PushObject(entity.Get()))
    {
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Cannot push the entity for its replicated properties");
        return false;
    }
    m_profiler.OnCallBegin(m_state);
    bool result = false;
    lua_getfield(m_state, -1, "OnPropertiesReplicated");
    if (lua_isfunction(m_state, -1))
    {
        lua_insert(m_state, -2);
        result = ProtectedCall("OnPropertiesReplicated", 1, 0);
    }
    else
        lua_pop(m_state, 2);
    m_profiler.OnCallEnd(m_state);
    return result;
}

bool LuaWrapper::CallReplicatedMethod(uint32_t functionId, const ScriptReplicatedArgument* arguments,
                                      uint32_t argumentCount)
{
    lua_getfield(m_state, LUA_REGISTRYINDEX, "REP_METHODS__");
    if (!lua_istable(m_state, -1))
    {
        lua_pop(m_state, 1);
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Replicated method %u called before the replication globals exist", functionId);
        return false;
    }
    lua_rawgeti(m_state, -1, int(functionId));
    lua_remove(m_state, -2);
    if (!lua_isfunction(m_state, -1))
    {
        lua_pop(m_state, 1);
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Unknown replicated method id %u", functionId);
        return false;
    }
    // The count comes from the peer; pushing past the stack's room would corrupt memory.
    if (argumentCount > uint32_t(LUAI_MAXCSTACK) || !lua_checkstack(m_state, int(argumentCount) + 1))
    {
        lua_pop(m_state, 1);
        gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Too many arguments (%u) of replicated method %u", argumentCount, functionId);
        return false;
    }
    for (uint32_t i = 0; i < argumentCount; ++i)
    {
        const ScriptReplicatedArgument& argument = arguments[i];
        switch (argument.kind)
        {
        case ScriptReplicatedArgument::NIL:
            lua_pushnil(m_state);
            break;
        case ScriptReplicatedArgument::NUMBER:
            lua_pushnumber(m_state, argument.number);
            break;
        case ScriptReplicatedArgument::BOOLEAN:
            lua_pushboolean(m_state, argument.boolean ? 1 : 0);
            break;
        case ScriptReplicatedArgument::STRING:
            PushString(argument.text);
            break;
        case ScriptReplicatedArgument::ENTITY:
            if (Entity* const entity = argument.entity.Get(); entity == nullptr || !PushObject(entity))
                lua_pushnil(m_state);
            break;
        default:
            lua_pop(m_state, int(i) + 1);
            gConsole.Error(CONSOLE_CHANNEL_SCRIPT, "Bad argument %u of replicated method %u", i + 1, functionId);
            return false;
        }
    }
    m_profiler.OnCallBegin(m_state);
    const bool result = ProtectedCall("ReplicatedMethod", int(argumentCount), 0);
    m_profiler.OnCallEnd(m_state);
    return result;
}
