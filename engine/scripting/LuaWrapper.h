// The Lua wrapper: owner of the program's one Lua 5.1 state (script global gLua).
//
// Everything scripts do goes through here: the state is created with the engine's allocator, the
// standard libraries, bitlib, the replication globals and the generated binding packages; script
// files come through the file system as source text only; script class methods are called by name
// on native objects (arguments first, then self and the class are named); every error is reported
// in one fixed form on channel 4 and counted, and the call returns false. The collector runs
// incrementally and takes one step per frame. Every call road leaves the stack as it found it
// (apart from the results a successful call asked for).
//
// Main thread only: other threads reach scripts through command queues drained in the frame.
#pragma once

#include "core/containers/Dynarray.h"
#include "engine/scripting/LuaProfiler.h"
#include "engine/scripting/LuaUserTypeCache.h"
#include "scene/entities/LuaEntityPointer.h"
#include "scriptapi/LuaTypeTestCache.h"

#include <cstdint>

struct lua_State;
class LuaBaseClass;
class LuaWrapperFileExecutionCallbackObject;

// One argument of a replicated script method call, as the multiplayer engine hands it over.
struct ScriptReplicatedArgument
{
    enum Kind : uint8_t
    {
        NIL = 0,
        NUMBER = 1,
        BOOLEAN = 2,
        STRING = 3,
        ENTITY = 4, // nil once the entity has died
    };
    Kind kind = NIL;
    double number = 0.0;
    bool boolean = false;
    const char* text = nullptr;
    LuaEntityPointer entity;
};

// Owner of the Lua state; see the design comment above.
class LuaWrapper
{
public:

    LuaWrapper() = default;
    ~LuaWrapper();
    LuaWrapper(const LuaWrapper&) = delete;
    LuaWrapper& operator=(const LuaWrapper&) = delete;

    bool Init();
    void Close();
    lua_State* GetState() const { return m_state; }

    void ExecuteFile(const char* name, const char* folder, bool complain);
    bool LoadAndCall(const char* chunkText, int resultCount);
    // The function and its arguments are on the stack.
    bool ProtectedCall(const char* context, int argumentCount, int resultCount);
    // The error value is on top of the stack; it is always popped.
    void ReportError(const char* context, int code, bool showMessage);

    // The arguments are already on the stack; they are consumed whatever happens.
    bool ExecuteMethod(int argumentCount, int resultCount, void* self, const char* className, const char* methodName);
    bool CallObjectMethod(LuaBaseClass* object, const char* methodName, int argumentCount, int resultCount);
    bool ExecuteStaticFunction(const char* className, const char* functionName, int argumentCount, int resultCount);

    void RegisterClass(const char* className, const char* baseClassName);
    bool RegisterGlobalObject(void* object, const char* className, const char* globalName);
    void UnregisterObject(LuaBaseClass* object);

    void PushBool(bool value);
    void PushInt(int32_t value);
    void PushUnsigned(uint32_t value);
    void PushString(const char* value);
    bool PushObject(LuaBaseClass* object);
    // A null object pushes nil. A class the bindings do not know pushes nothing, logs and fails.
    bool PushUserType(void* object, const char* className);
    // As PushUserType; the script's collector deletes the object.
    bool PushOwnedUserType(void* object, const char* className);
    bool IsKnownClass(const char* className) const;
    void Pop(int count);

    bool GetBoolAt(int index) const;
    // Numbers t[1], t[2], ... of the table at the index, up to the first nil.
    const Dynarray<float>& ReadFloatArray(int index);

    void DumpLuaStackToConsole();

    void Tick() { CollectGarbage(false); }
    // A collection, timed on the profiler's "LuaGCTime"; the memory in use after it goes to
    // "LuaMem" and the memory it freed (KB) adds up in "LuaGCMem".
    void CollectGarbage(bool full);

    void ProfilerEnter();
    void ProfilerLeave();
    void ProfilerCommand(const char* command);
    LuaProfiler& GetProfiler() { return m_profiler; }

    // Calls the entity's "OnPropertiesReplicated" method when it has one; false (logged) when the
    // entity has died since its properties arrived.
    bool SetEntityReplicatedProperty(const LuaEntityPointer& entity);
    // Calls REP_METHODS__[functionId] with the arguments.
    bool CallReplicatedMethod(uint32_t functionId, const ScriptReplicatedArgument* arguments, uint32_t argumentCount);

    void SetFileExecutionCallback(LuaWrapperFileExecutionCallbackObject* callback) { m_fileCallback = callback; }
    LuaWrapperFileExecutionCallbackObject* GetFileExecutionCallback() const { return m_fileCallback; }

    int m_gcPause = 200;
    int m_gcStepMultiplier = 100;
    int m_gcStepSize = 15;

private:
    bool PushCheckedUserType(void* object, const char* className, bool takeOwnership);
    // Lua's load result (0 when loaded); the error message is left on the stack otherwise.
    int LoadChunk(const char* text, size_t length, const char* chunkName);
    void RegisterHelperFunctions();

    lua_State* m_state = nullptr;
    LuaWrapperFileExecutionCallbackObject* m_fileCallback = nullptr;
    LuaProfiler m_profiler;
    LuaUserTypeCache m_userTypes;
    // The state's allocator carries it as its user data, where the bindings' type tests find it.
    LuaTypeTestCache m_typeTests;
    // Registry reference to the interned "_ERRORMESSAGE", looked up before every protected call.
    int m_errorMessageKey = -1;
    // Registry reference to the message handler that adds the script's stack to an error.
    int m_tracebackKey = -1;
    Dynarray<float> m_floatArray;
};

extern LuaWrapper gLua;
// Script errors reported since the last Init.
extern uint32_t gLuaErrorCount;
