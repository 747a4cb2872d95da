// Observer of the script files the Lua wrapper runs. Main thread.
#pragma once

// Told of every script file LuaWrapper::ExecuteFile opens, before it runs.
class LuaWrapperFileExecutionCallbackObject
{
public:
    virtual ~LuaWrapperFileExecutionCallbackObject() = default;
    virtual void OnFileExecuted(const char* name, const char* folder) = 0;
};
