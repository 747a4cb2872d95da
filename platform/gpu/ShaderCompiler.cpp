#include "platform/gpu/ShaderCompiler.h"

#include "platform/gpu/ShaderReflector.h"

#include <cctype>
#include <cstring>

namespace gpu
{
namespace
{
// Profiles look like vs_3_0 or ps_2_0.
bool ParseProfile(const char* profile, ShaderStage* stage)
{
    if (!profile || std::strlen(profile) < 6 || profile[1] != 's' || profile[2] != '_' ||
        !std::isdigit(uint8_t(profile[3])) || profile[4] != '_')
        return false;
    if (profile[0] == 'v')
        *stage = ShaderStage::Vertex;
    else if (profile[0] == 'p')
        *stage = ShaderStage::Pixel;
    else
        return false;
    return true;
}

uint32_t HashTokens(const std::vector<ShaderToken>& tokens, const char* entryPoint, const char* profile)
{
    uint32_t hash = 2166136261u;
    auto add = [&](const std::string& text) {
        for (const char c : text)
            hash = (hash ^ uint8_t(c)) * 16777619u;
        hash = (hash ^ ' ') * 16777619u;
    };
    for (const ShaderToken& t : tokens)
        add(t.text);
    add(entryPoint);
    add(profile);
    return hash;
}

GpuBlob* TextBlob(const std::string& text)
{
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return new GpuBlob(std::move(bytes));
}
} // namespace

Result CompileShader(const char* source, size_t length, const char* sourceName, const ShaderMacro* macros,
                     ShaderIncludeHandler* includes, const char* entryPoint, const char* profile, uint32_t /*flags*/,
                     GpuBlob** code, GpuBlob** messages, ShaderConstantTable** table)
{
    if (code)
        *code = nullptr;
    if (messages)
        *messages = nullptr;
    if (table)
        *table = nullptr;
    const char* name = sourceName ? sourceName : "shader";
    auto fail = [&](const std::string& text) {
        if (messages)
            *messages = TextBlob(text);
        return kErrCompile;
    };
    if (!source || !entryPoint || !*entryPoint)
        return fail(std::string(name) + "(1): error: no source or no entry point\n");
    ShaderStage stage;
    if (!ParseProfile(profile, &stage))
        return fail(std::string(name) + "(1): error: unknown profile '" + (profile ? profile : "") + "'\n");

    ShaderPreprocessor preprocessor(includes);
    for (const ShaderMacro* m = macros; m && m->name; ++m)
        preprocessor.Define(m->name, m->definition);
    std::vector<ShaderToken> tokens;
    if (preprocessor.Failed() || !preprocessor.Run(source, length, name, &tokens))
        return fail(preprocessor.Messages());
    ShaderCode result;
    result.stage = stage;
    result.profile = profile;
    result.entryPoint = entryPoint;
    result.program = preprocessor.ProgramWords();
    result.sourceHash = HashTokens(tokens, entryPoint, profile);
    ShaderReflector reflector(tokens, preprocessor);
    if (!reflector.Reflect(entryPoint, stage, result.profile, &result.constants))
        return fail(preprocessor.Messages());
    if (table)
        *table = new ShaderConstantTable(result.constants);
    if (code)
        *code = new GpuBlob(WriteShaderCode(result));
    return kOk;
}

Result GetShaderConstantTable(const void* code, size_t size, ShaderConstantTable** table)
{
    if (!table)
        return kErrInvalidCall;
    *table = nullptr;
    ShaderCode parsed;
    if (!ReadShaderCode(code, size, &parsed))
        return kErrInvalidCall;
    *table = new ShaderConstantTable(std::move(parsed.constants));
    return kOk;
}
} // namespace gpu
