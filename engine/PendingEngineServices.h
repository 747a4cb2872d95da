// Engine services whose own subsystems are not built yet: the template and entity managers, the
// string manager and font table, the text variables, the sequence system and its action factory,
// the sound entries, the video engine, the scene environment, the path display and the
// post-process chain. Start-up, the frame and shutdown call them here in the engine's order; each
// says once in the log that it is not built, and the issue that builds the service replaces its
// calls with the real ones. Main thread.
#pragma once

#include "core/math/BoundingBox4.h"

class ProjectConfig;

namespace PendingEngineServices
{
// Each engine start reports the services again.
void ForgetReports();

// Renderer and resources.
void InitPostProcessChain(const ProjectConfig& project);
void CreateSceneEnvironment();
void CloseSceneEnvironment();
void ClearPathLines();
// Looks up the project's UI scene parameter template and hands its set to the scene environment.
void ApplyUISceneParameters(const ProjectConfig& project);

// Scene model.
void InitTemplateManager();
void CloseTemplateManager();
void InitEntityManager(const BoundingBox4& worldBox, float cellSize);
void DestroyScene();
// Every entity drops (before) or rebuilds (after) its rendering context.
void DropEntityRenderingContexts();
void RebuildEntityRenderingContexts();

// User interface and text.
void CreateStringManager();
void DeleteStringManager();
void LoadCompiledStrings();
void LoadStrings();
void LoadFontTable();
void DestroyFontTable();
void ClearDefaultReplacementContainer();

// Gameplay services.
void UpdateSequenceSystem();
void ResetSequenceSystem();
void ClearSequenceActionFactory();

// Sound and video.
void RemoveAllSoundEntries();
void StartVideoEngine();
void CloseVideoEngine();
} // namespace PendingEngineServices
