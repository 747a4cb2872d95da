// The configuration files: the per-user folders, the user record "config.bin" in "project", the
// one-shot "OptimalSettings.cfg" in "locals" and the project record "Project.ConfigBin" in "common".
// These are the bodies of NorvexEngine::CreateUserFolders, LoadConfig, SaveConfig and
// LoadProjectConfigFile. Main thread, during start-up and on explicit saves.
#pragma once

#include <cstdint>
#include <string>

class EngineConfig;
class ProjectConfig;

namespace ConfigFiles
{
// Both records carry the layout magic and a CRC-32.
constexpr uint32_t kRecordFlags = 16;
// Folder (below the per-user application data) that holds one folder per project.
constexpr const char* kMakerFolder = "Orvalworks";

// Mounts "user" on the application data folder and "project" on "user"/Orvalworks/<project>,
// creating both; the result is whether "project" was mounted.
bool CreateUserFolders(const char* projectName);
// The disk folder "project" stands for; empty without an application data folder or a project name.
std::string ProjectFolder(const char* projectName);

// Reads "config.bin" into the configuration, then applies and removes "OptimalSettings.cfg".
// True when a saved configuration was read. A record of another layout is refused whole with a
// warning and the defaults stay.
bool LoadConfig(EngineConfig& config);

// Writes "config.bin"; the previous file is replaced only once the new one is complete. A read-only
// file is left alone (false, with a warning the first time).
bool SaveConfig(EngineConfig* config);

// Reads "Project.ConfigBin" into the project configuration and gives the user configuration's
// unset (negative) volumes the project defaults. False, failing start-up, when the file is missing
// or fails its magic, CRC or size checks.
bool LoadProjectConfigFile(ProjectConfig& project, EngineConfig* config);

// First start without a saved configuration: the project's text and voice language and subtitle mode.
void ApplyProjectLanguageDefaults(const ProjectConfig& project, EngineConfig& config);
} // namespace ConfigFiles
