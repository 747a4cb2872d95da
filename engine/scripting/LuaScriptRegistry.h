// Which script files the script delegate runs, and the lists of script files a scene or the common
// scripts need, so that a distribution package can be assembled. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/strings/NameString.h"
#include "engine/scripting/LuaWrapperFileExecutionCallbackObject.h"

// Records the path ("folder/name") of every script file run while it is installed.
class LuaScriptRegistry : public LuaWrapperFileExecutionCallbackObject
{
public:
    static constexpr size_t kPathSize = 260;
    struct Path
    {
        char text[kPathSize];
    };

    void OnFileExecuted(const char* name, const char* folder) override;
    const Dynarray<Path>& GetPaths() const { return m_paths; }

private:
    Dynarray<Path> m_paths;
};

// "Main" from "common/scripts".
void RunMainScript();
// "DistributionMain" from "common/scripts", then the Game's script "OnInit".
void RunDistributionMain();
// The current scene's script from "scenes" ("<scene>_<variant>" outside the main menu).
void RunSceneScript();
// The common script files ("scripts/<name>.lua") the distribution of a scene needs.
void ReportCommonResources(const char* sceneName, DynarraySafe<NameString>& list);
// The scene's own script and sequence files ("<name>.lua" relative to "scenes").
void ReportLocalSceneResources(const char* sceneName, DynarraySafe<NameString>& list);
