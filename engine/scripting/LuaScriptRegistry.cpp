#include "engine/scripting/LuaScriptRegistry.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileSystem.h"
#include "core/strings/StringUtils.h"
#include "engine/Game.h"
#include "engine/scripting/LuaWrapper.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr const char* kCommonScripts = "common/scripts";

// The text as a Lua string literal, so a name can never end the literal or inject code.
std::string QuoteForLua(const char* text)
{
    std::string quoted = "\"";
    for (const char* c = text != nullptr ? text : ""; *c != '\0'; ++c)
    {
        const unsigned char byte = static_cast<unsigned char>(*c);
        if (byte == '"' || byte == '\\')
        {
            quoted += '\\';
            quoted += char(byte);
        }
        else if (byte < 32 || byte == 127)
        {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\%03u", byte);
            quoted += escape;
        }
        else
            quoted += char(byte);
    }
    quoted += '"';
    return quoted;
}

bool StartsWithNoCase(const char* text, const char* prefix)
{
    for (; *prefix != '\0'; ++text, ++prefix)
    {
        const char a = (*text >= 'A' && *text <= 'Z') ? char(*text + 32) : *text;
        const char b = (*prefix >= 'A' && *prefix <= 'Z') ? char(*prefix + 32) : *prefix;
        if (a != b)
            return false;
    }
    return true;
}

void AddUnique(DynarraySafe<NameString>& list, const char* text)
{
    const NameString name(text);
    for (const NameString& entry : list)
        if (entry == name)
            return;
    list.Add(name);
}

// Adds "<path after the prefix>.lua" of every recorded path under the prefix; the others are
// reported and left out.
void AddRecordedScripts(const LuaScriptRegistry& registry, DynarraySafe<NameString>& list, const char* prefix,
                        size_t skipped, bool commonScripts)
{
    for (const LuaScriptRegistry::Path& path : registry.GetPaths())
    {
        if (!StartsWithNoCase(path.text, prefix))
        {
            if (commonScripts)
                gConsole.Error(CONSOLE_CHANNEL_REPORT, "One of script files includes something out of common/scripts "
                                               "directory. Such script will not be included in the distribution "
                                               "package");
            else
                gConsole.Error(CONSOLE_CHANNEL_REPORT,
                               "One of local scene script files includes something out of scene directory (%s). "
                               "Such script will not be included in the distribution package",
                               path.text);
            continue;
        }
        char name[LuaScriptRegistry::kPathSize + 8];
        std::snprintf(name, sizeof(name), "%s.lua", path.text + skipped);
        AddUnique(list, name);
    }
}
} // namespace

void LuaScriptRegistry::OnFileExecuted(const char* name, const char* folder)
{
    Path path;
    BuildPath(path.text, sizeof(path.text), name, nullptr, folder);
    m_paths.Add(path);
}

void RunMainScript()
{
    gLua.ExecuteFile("Main", kCommonScripts, true);
}

void RunDistributionMain()
{
    gLua.ExecuteFile("DistributionMain", kCommonScripts, true);
    gLua.ExecuteMethod(0, 0, &gGame, gGame.GetScriptClassName(), "OnInit");
}

void RunSceneScript()
{
    const char* scene = gGame.GetCurrentSceneName();
    if (scene == nullptr || scene[0] == '\0')
        return;
    const int32_t variant = gGame.GetSceneVariantIndex();
    const DynarraySafe<NameString>& variants = gGame.GetSceneVariants();
    if (variant >= 0 && variant < variants.Count() && std::strstr(scene, "MainMenu") == nullptr)
    {
        char name[LuaScriptRegistry::kPathSize];
        std::snprintf(name, sizeof(name), "%s_%s", scene, variants[variant].CStr());
        gLua.ExecuteFile(name, "scenes", true);
    }
    else
        gLua.ExecuteFile(scene, "scenes", true);
}

void ReportCommonResources(const char* sceneName, DynarraySafe<NameString>& list)
{
    LuaScriptRegistry registry;
    LuaWrapperFileExecutionCallbackObject* const previous = gLua.GetFileExecutionCallback();
    gLua.SetFileExecutionCallback(&registry);
    gLua.ExecuteFile("DistributionMain", kCommonScripts, true);
    gLua.LoadAndCall(("ReportCommonResources(" + QuoteForLua(sceneName) + ")").c_str(), 0);
    gLua.SetFileExecutionCallback(previous);
    AddRecordedScripts(registry, list, "common/scripts/", std::strlen("common/"), true);
}

void ReportLocalSceneResources(const char* sceneName, DynarraySafe<NameString>& list)
{
    LuaScriptRegistry registry;
    char name[LuaScriptRegistry::kPathSize + 16];
    if (gFileSystem.FileExists(sceneName, "SceneSequences", "scenes"))
    {
        std::snprintf(name, sizeof(name), "%s.SceneSequences", sceneName);
        AddUnique(list, name);
    }
    const char* const variants[] = {nullptr, "easy", "medium", "hard"};
    for (const char* variant : variants)
    {
        char script[LuaScriptRegistry::kPathSize];
        if (variant == nullptr)
            std::snprintf(script, sizeof(script), "%s", sceneName);
        else
            std::snprintf(script, sizeof(script), "%s_%s", sceneName, variant);
        if (gFileSystem.FileExists(script, "lua", "scenes"))
        {
            std::snprintf(name, sizeof(name), "%s.lua", script);
            AddUnique(list, name);
        }
    }
    LuaWrapperFileExecutionCallbackObject* const previous = gLua.GetFileExecutionCallback();
    gLua.SetFileExecutionCallback(&registry);
    gLua.LoadAndCall("UnregisterAllScriptSequences()", 0);
    gLua.LoadAndCall("RegisterAllScriptSequences()", 0);
    gLua.LoadAndCall("ReportLocalSceneResources()", 0);
    gLua.SetFileExecutionCallback(previous);
    AddRecordedScripts(registry, list, "scenes/", std::strlen("scenes/"), false);
}
