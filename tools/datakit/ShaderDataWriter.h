// Installs the project's shader data into a data root: the HLSL sources and the text definitions
// from the source tree's data/shaders folder, and "Shaders.DefBin" built from those definitions,
// all under "common/Shaders". Any thread.
#pragma once

#include <map>
#include <string>

class DataRoot;
class ShaderDefinitions;

// The data/shaders folder of the source tree this kit was built from.
const char* GetShaderSourceFolder();

// The binary definitions of a text form; false (reason on standard error) when the text does not read.
bool BuildShaderDefBin(const std::string& text, std::string& out);
// The binary form of loaded definitions, with their stamp.
std::string WriteShaderDefBin(const ShaderDefinitions& definitions);
// Every *.hlsl and "Shaders.Def" of sourceFolder (null: GetShaderSourceFolder) and the built
// "Shaders.DefBin", by path below the common folder ("Shaders/Font.hlsl"); false when a file cannot
// be read or built.
bool CollectShaderData(const char* sourceFolder, std::map<std::string, std::string>& files);
// Adds every *.hlsl and "Shaders.Def" of sourceFolder (null: GetShaderSourceFolder) and the built
// "Shaders.DefBin" to the root's "common/Shaders"; false when a file cannot be read or built.
bool AddShaderData(DataRoot& root, const char* sourceFolder);
