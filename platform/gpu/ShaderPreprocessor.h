// The reflection compiler's preprocessor: object- and function-like macros (with # and ##),
// #undef, #if/#ifdef/#ifndef/#elif/#else/#endif with defined() and integer expressions, #include
// through the caller's handler in opening order, #error; "#pragma program <words>" lines in active
// blocks give the program words (ShaderProgram.h), other #pragma and #line lines are ignored. Output is the token stream the declarations are read from. One compile per object; any
// thread.
#pragma once

#include "platform/gpu/GpuTypes.h"

#include <map>
#include <string>
#include <vector>

namespace gpu
{
enum class IncludeType : uint32_t
{
    Local,  // #include "name"
    System, // #include <name>
};

// Supplies the text of included files. Open gives the bytes (kept valid until Close) or fails.
class ShaderIncludeHandler
{
public:
    virtual ~ShaderIncludeHandler() = default;
    virtual Result Open(IncludeType type, const char* fileName, const void* parentData, const void** data,
                        uint32_t* bytes) = 0;
    virtual void Close(const void* data) = 0;
};

// A macro given to the compiler; arrays of them end with a null name.
struct ShaderMacro
{
    const char* name;
    const char* definition;
};

struct ShaderToken
{
    enum Kind : uint8_t
    {
        Identifier,
        Number,
        String,
        Char,
        Punctuator,
    };
    Kind kind = Punctuator;
    std::string text;
    uint32_t file = 0; // index into the preprocessor's file names
    uint32_t line = 0;
    bool lineStart = false;
    bool spaceBefore = false;
    bool noExpand = false; // a macro name met inside its own expansion
};

class ShaderPreprocessor
{
public:
    explicit ShaderPreprocessor(ShaderIncludeHandler* includes) : m_includes(includes) {}

    // Defines a macro as if by "#define name definition".
    void Define(const char* name, const char* definition);
    // False after any error; messages then hold one line per error ("file(line): error: text").
    bool Run(const char* source, size_t length, const char* fileName, std::vector<ShaderToken>* out);

    const std::string& Messages() const { return m_messages; }
    // The words of every active "#pragma program" line, in source order, joined by single spaces.
    const std::string& ProgramWords() const { return m_programWords; }
    // File names in opening order, the main source first.
    const std::vector<std::string>& Files() const { return m_files; }
    void Error(const ShaderToken* at, const char* format, ...) __attribute__((format(printf, 3, 4)));
    bool Failed() const { return m_failed; }
    // Integer constant expression (array sizes, #if); false after a reported error.
    bool EvaluateInteger(const std::vector<ShaderToken>& tokens, const ShaderToken& at, int64_t* value);

    // Splits text into tokens (comments and line splices removed); false on an unterminated comment,
    // string or character literal.
    bool Tokenize(const char* text, size_t length, uint32_t file, std::vector<ShaderToken>* out);

private:
    struct Macro
    {
        bool function = false;
        std::vector<std::string> params;
        std::vector<ShaderToken> body;
    };
    struct Condition
    {
        bool parentActive;
        bool active;
        bool taken;
        bool sawElse;
        uint32_t line;
    };

    bool ProcessFile(const std::vector<ShaderToken>& tokens, uint32_t file, const void* data, uint32_t depth,
                     std::vector<ShaderToken>* out);
    void Directive(const std::vector<ShaderToken>& line, uint32_t file, const void* data, uint32_t depth,
                   std::vector<Condition>& conditions, std::vector<ShaderToken>* out);
    void DefineFromLine(const std::vector<ShaderToken>& line);
    void Include(const std::vector<ShaderToken>& line, const void* data, uint32_t depth,
                 std::vector<ShaderToken>* out);
    bool Evaluate(const std::vector<ShaderToken>& line, size_t first, const ShaderToken& at);
    std::vector<ShaderToken> Expand(const std::vector<ShaderToken>& in, const std::vector<std::string>& disabled);
    std::vector<ShaderToken> Substitute(const Macro& macro, const std::vector<std::vector<ShaderToken>>& args,
                                        const std::vector<std::string>& disabled, const ShaderToken& at);

    ShaderIncludeHandler* m_includes;
    std::map<std::string, Macro> m_macros;
    std::vector<std::string> m_files;
    std::string m_messages;
    std::string m_programWords;
    uint32_t m_includeCount = 0;
    size_t m_expandDepth = 0;
    bool m_failed = false;
};
} // namespace gpu
