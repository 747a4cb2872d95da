// Reads the declarations of a preprocessed shader: the top-level uniforms with their types and
// register bindings, the functions and which names each one uses. From the entry point it finds the
// uniforms reachable through the call graph and gives them registers. Used by the compiler only.
#pragma once

#include "platform/gpu/ShaderCode.h"
#include "platform/gpu/ShaderPreprocessor.h"

#include <map>
#include <set>

namespace gpu
{
class ShaderReflector
{
public:
    ShaderReflector(const std::vector<ShaderToken>& tokens, ShaderPreprocessor& messages)
        : m_tokens(tokens), m_messages(messages)
    {
    }

    // False after an error reported through the preprocessor's messages.
    bool Reflect(const char* entryPoint, ShaderStage stage, const std::string& profile,
                 std::vector<ShaderConstant>* constants);

private:
    struct Uniform
    {
        ShaderConstant constant;
        int32_t explicitRegister = -1; // -1 when the compiler chooses
        const ShaderToken* at = nullptr;
        uint32_t order = 0;
    };
    struct Function
    {
        std::set<std::string> names;
        size_t paramsBegin = 0, paramsEnd = 0;
        bool defined = false;
    };

    bool CheckBalance();
    bool Parse();
    size_t Skip(size_t i, const char* open, const char* close);
    size_t ParseDeclaration(size_t i);
    // Reads a type at i into constant (set, class, type, rows, columns); answers the index after it
    // or 0 when the tokens are no type this compiler knows.
    size_t ParseType(size_t i, bool rowMajor, ShaderConstant* constant, bool* isTexture);
    size_t ParseDeclarator(size_t i, const ShaderConstant& type, bool isUniform, bool isTexture);
    void AddUses(size_t begin, size_t end, std::set<std::string>* names) const;
    void Visit(const std::string& name, std::set<std::string>& seenFunctions, std::set<std::string>& used);
    bool EntryParameters(const Function& entry, std::vector<Uniform>* parameters);
    bool AssignRegisters(std::vector<Uniform*>& used, ShaderStage stage, const std::string& profile);
    bool Is(size_t i, const char* text) const { return i < m_tokens.size() && m_tokens[i].text == text; }

    const std::vector<ShaderToken>& m_tokens;
    ShaderPreprocessor& m_messages;
    std::set<std::string> m_structs;
    std::map<std::string, Uniform> m_uniforms;
    std::map<std::string, std::set<std::string>> m_statics; // non-uniform globals and the names they use
    std::map<std::string, std::vector<Function>> m_functions;
    std::string m_profile;
    uint32_t m_order = 0;
};
} // namespace gpu
