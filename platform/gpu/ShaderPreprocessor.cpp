#include "platform/gpu/ShaderPreprocessor.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gpu
{
namespace
{
constexpr uint32_t kMaxIncludeDepth = 32;
constexpr size_t kMaxExpansionDepth = 200;
// Each nesting of parentheses, ?: or unary operators is one level of recursion.
constexpr uint32_t kMaxExpressionDepth = 256;
// Sources that explode (self-including files, doubling macros) stop here instead of eating memory.
constexpr uint32_t kMaxIncludes = 1024;
constexpr size_t kMaxTokens = size_t(1) << 21;

const char* const kPunctuators3[] = {"<<=", ">>=", "..."};
const char* const kPunctuators2[] = {"##", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||", "++", "--", "+=",
                                     "-=", "*=", "/=", "%=", "&=", "|=", "^=", "->", "::"};

bool IsIdentStart(char c) { return std::isalpha(uint8_t(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(uint8_t(c)) || c == '_'; }

bool Contains(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Integer expression of #if and #elif.
class Expression
{
public:
    Expression(const std::vector<ShaderToken>& tokens, ShaderPreprocessor& pp, const ShaderToken& at)
        : m_tokens(tokens), m_pp(pp), m_at(at)
    {
    }

    bool Evaluate(int64_t* value)
    {
        *value = Ternary();
        if (!m_error && m_pos != m_tokens.size())
            Fail("unexpected '%s' in #if expression", m_tokens[m_pos].text.c_str());
        return !m_error;
    }

private:
    void Fail(const char* format, const char* detail = "")
    {
        if (!m_error)
            m_pp.Error(&m_at, format, detail);
        m_error = true;
    }

    bool Accept(const char* text)
    {
        if (m_pos < m_tokens.size() && m_tokens[m_pos].kind == ShaderToken::Punctuator && m_tokens[m_pos].text == text)
        {
            ++m_pos;
            return true;
        }
        return false;
    }

    // Counts one level of nesting for as long as it lives.
    struct Nesting
    {
        explicit Nesting(Expression& e) : m_e(e)
        {
            if (++m_e.m_depth > kMaxExpressionDepth)
                m_e.Fail("#if expression nested too deeply");
        }
        ~Nesting() { --m_e.m_depth; }
        Expression& m_e;
    };

    int64_t Ternary()
    {
        const Nesting nesting(*this);
        if (m_error)
            return 0;
        const int64_t condition = Binary(1);
        if (!Accept("?"))
            return condition;
        const int64_t a = Ternary();
        if (!Accept(":"))
            Fail("missing ':' in #if expression");
        const int64_t b = Ternary();
        return condition ? a : b;
    }

    static int Precedence(const std::string& op)
    {
        static const struct
        {
            const char* op;
            int precedence;
        } kOps[] = {{"||", 1}, {"&&", 2}, {"|", 3},  {"^", 4},  {"&", 5},  {"==", 6}, {"!=", 6},
                    {"<", 7},  {">", 7},  {"<=", 7}, {">=", 7}, {"<<", 8}, {">>", 8}, {"+", 9},
                    {"-", 9},  {"*", 10}, {"/", 10}, {"%", 10}};
        for (const auto& o : kOps)
            if (op == o.op)
                return o.precedence;
        return 0;
    }

    int64_t Binary(int minimum)
    {
        int64_t left = Unary();
        while (!m_error && m_pos < m_tokens.size() && m_tokens[m_pos].kind == ShaderToken::Punctuator)
        {
            const std::string op = m_tokens[m_pos].text;
            const int precedence = Precedence(op);
            if (precedence == 0 || precedence < minimum)
                break;
            ++m_pos;
            const int64_t right = Binary(precedence + 1);
            left = Apply(op, left, right);
        }
        return left;
    }

    int64_t Apply(const std::string& op, int64_t a, int64_t b)
    {
        if ((op == "/" || op == "%") && b == 0)
        {
            Fail("division by zero in #if expression");
            return 0;
        }
        const uint64_t ua = uint64_t(a), ub = uint64_t(b);
        if (op == "||") return a || b;
        if (op == "&&") return a && b;
        if (op == "|") return a | b;
        if (op == "^") return a ^ b;
        if (op == "&") return a & b;
        if (op == "==") return a == b;
        if (op == "!=") return a != b;
        if (op == "<") return a < b;
        if (op == ">") return a > b;
        if (op == "<=") return a <= b;
        if (op == ">=") return a >= b;
        if (op == "<<") return int64_t(ua << (ub & 63));
        if (op == ">>") return a >> (ub & 63);
        if (op == "+") return int64_t(ua + ub);
        if (op == "-") return int64_t(ua - ub);
        if (op == "*") return int64_t(ua * ub);
        if (op == "/") return (a == INT64_MIN && b == -1) ? a : a / b;
        return (a == INT64_MIN && b == -1) ? 0 : a % b;
    }

    int64_t Unary()
    {
        const Nesting nesting(*this);
        if (m_error)
            return 0;
        if (Accept("!"))
            return !Unary();
        if (Accept("~"))
            return ~Unary();
        if (Accept("-"))
            return int64_t(0 - uint64_t(Unary()));
        if (Accept("+"))
            return Unary();
        if (Accept("("))
        {
            const int64_t value = Ternary();
            if (!Accept(")"))
                Fail("missing ')' in #if expression");
            return value;
        }
        if (m_pos >= m_tokens.size())
        {
            Fail("#if expression ends too early");
            return 0;
        }
        const ShaderToken& t = m_tokens[m_pos++];
        if (t.kind == ShaderToken::Identifier)
            return 0; // undefined names count as 0
        if (t.kind != ShaderToken::Number)
        {
            Fail("unexpected '%s' in #if expression", t.text.c_str());
            return 0;
        }
        std::string digits = t.text;
        while (!digits.empty() && std::strchr("uUlL", digits.back()))
            digits.pop_back();
        char* end = nullptr;
        const unsigned long long value = std::strtoull(digits.c_str(), &end, 0);
        if (digits.empty() || *end != '\0')
            Fail("'%s' is not an integer", t.text.c_str());
        return int64_t(value);
    }

    const std::vector<ShaderToken>& m_tokens;
    ShaderPreprocessor& m_pp;
    const ShaderToken& m_at;
    size_t m_pos = 0;
    uint32_t m_depth = 0;
    bool m_error = false;
};

std::vector<ShaderToken> Line(const std::vector<ShaderToken>& tokens, size_t* i)
{
    std::vector<ShaderToken> line;
    do
        line.push_back(tokens[(*i)++]);
    while (*i < tokens.size() && !tokens[*i].lineStart);
    return line;
}
} // namespace

void ShaderPreprocessor::Error(const ShaderToken* at, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    const std::string& file = at && at->file < m_files.size() ? m_files[at->file] : m_files.front();
    char line[700];
    snprintf(line, sizeof(line), "%s(%u): error: %s\n", file.c_str(), at ? at->line : 1u, text);
    m_messages += line;
    m_failed = true;
}

bool ShaderPreprocessor::Tokenize(const char* text, size_t length, uint32_t file, std::vector<ShaderToken>* out)
{
    uint32_t line = 1;
    bool lineStart = true, space = false;
    size_t i = 0;
    auto at = [&](size_t k) { return k < length ? text[k] : '\0'; };
    while (i < length)
    {
        const char c = text[i];
        if (c == '\\' && (at(i + 1) == '\n' || (at(i + 1) == '\r' && at(i + 2) == '\n')))
        {
            i += at(i + 1) == '\r' ? 3 : 2;
            ++line;
            continue;
        }
        if (c == '\n')
        {
            ++line;
            ++i;
            lineStart = true;
            space = false;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v')
        {
            ++i;
            space = true;
            continue;
        }
        if (c == '/' && at(i + 1) == '/')
        {
            while (i < length && text[i] != '\n')
                ++i;
            continue;
        }
        if (c == '/' && at(i + 1) == '*')
        {
            const uint32_t startLine = line;
            i += 2;
            while (i < length && !(text[i] == '*' && at(i + 1) == '/'))
                line += text[i++] == '\n';
            if (i >= length)
            {
                ShaderToken where;
                where.file = file;
                where.line = startLine;
                Error(&where, "unterminated comment");
                return false;
            }
            i += 2;
            space = true;
            continue;
        }
        ShaderToken t;
        t.file = file;
        t.line = line;
        t.lineStart = lineStart;
        t.spaceBefore = space;
        const size_t start = i;
        if (IsIdentStart(c))
        {
            while (i < length && IsIdentChar(text[i]))
                ++i;
            t.kind = ShaderToken::Identifier;
        }
        else if (std::isdigit(uint8_t(c)) || (c == '.' && std::isdigit(uint8_t(at(i + 1)))))
        {
            while (i < length && (IsIdentChar(text[i]) || text[i] == '.' ||
                                  ((text[i] == '+' || text[i] == '-') && (at(i - 1) == 'e' || at(i - 1) == 'E'))))
                ++i;
            t.kind = ShaderToken::Number;
        }
        else if (c == '"' || c == '\'')
        {
            ++i;
            while (i < length && text[i] != c && text[i] != '\n')
                i += text[i] == '\\' ? 2 : 1;
            if (i >= length || text[i] != c)
            {
                Error(&t, "unterminated %s literal", c == '"' ? "string" : "character");
                return false;
            }
            ++i;
            t.kind = c == '"' ? ShaderToken::String : ShaderToken::Char;
        }
        else
        {
            size_t n = 1;
            for (const char* p : kPunctuators3)
                if (length - i >= 3 && memcmp(text + i, p, 3) == 0)
                    n = 3;
            if (n == 1)
                for (const char* p : kPunctuators2)
                    if (length - i >= 2 && memcmp(text + i, p, 2) == 0)
                        n = 2;
            i += n;
            t.kind = ShaderToken::Punctuator;
        }
        t.text.assign(text + start, std::min(i, length) - start);
        out->push_back(std::move(t));
        lineStart = false;
        space = false;
    }
    return true;
}

void ShaderPreprocessor::Define(const char* name, const char* definition)
{
    std::string text = std::string("#define ") + name + " " + (definition ? definition : "");
    std::vector<ShaderToken> tokens;
    if (m_files.empty())
        m_files.push_back("<macros>");
    if (Tokenize(text.c_str(), text.size(), 0, &tokens) && tokens.size() >= 3 &&
        tokens[2].kind == ShaderToken::Identifier)
        DefineFromLine({tokens.begin() + 1, tokens.end()});
    else
        Error(nullptr, "macro '%s' cannot be defined", name ? name : "");
}

bool ShaderPreprocessor::Run(const char* source, size_t length, const char* fileName,
                             std::vector<ShaderToken>* out)
{
    // Macros given before the source were lexed under a placeholder file name.
    if (m_files.empty())
        m_files.push_back(fileName);
    else
        m_files[0] = fileName;
    std::vector<ShaderToken> tokens;
    if (!Tokenize(source, length, 0, &tokens))
        return false;
    ProcessFile(tokens, 0, nullptr, 0, out);
    return !m_failed;
}

bool ShaderPreprocessor::ProcessFile(const std::vector<ShaderToken>& tokens, uint32_t file, const void* data,
                                     uint32_t depth, std::vector<ShaderToken>* out)
{
    std::vector<Condition> conditions;
    std::vector<ShaderToken> pending;
    auto flush = [&] {
        if (!pending.empty())
        {
            std::vector<ShaderToken> expanded = Expand(pending, {});
            if (out->size() + expanded.size() > kMaxTokens)
            {
                Error(&pending[0], "the preprocessed source passes %zu tokens", kMaxTokens);
                expanded.clear();
            }
            out->insert(out->end(), std::make_move_iterator(expanded.begin()), std::make_move_iterator(expanded.end()));
            pending.clear();
        }
    };
    size_t i = 0;
    while (i < tokens.size() && !m_failed)
    {
        const ShaderToken& t = tokens[i];
        const bool active = conditions.empty() || conditions.back().active;
        if (t.lineStart && t.kind == ShaderToken::Punctuator && t.text == "#")
        {
            flush();
            std::vector<ShaderToken> line = Line(tokens, &i);
            line.erase(line.begin());
            if (!line.empty())
                Directive(line, file, data, depth, conditions, out);
            continue;
        }
        if (active)
            pending.push_back(t);
        ++i;
    }
    flush();
    if (!m_failed && !conditions.empty())
    {
        ShaderToken where;
        where.file = file;
        where.line = conditions.back().line;
        Error(&where, "#if without #endif");
    }
    return !m_failed;
}

void ShaderPreprocessor::Directive(const std::vector<ShaderToken>& line, uint32_t file, const void* data,
                                   uint32_t depth, std::vector<Condition>& conditions, std::vector<ShaderToken>* out)
{
    const ShaderToken& name = line[0];
    const bool active = conditions.empty() || conditions.back().active;
    const std::string& d = name.text;
    if (d == "if" || d == "ifdef" || d == "ifndef")
    {
        bool value = false;
        if (active)
        {
            if (d == "if")
                value = Evaluate(line, 1, name);
            else if (line.size() < 2 || line[1].kind != ShaderToken::Identifier)
                Error(&name, "#%s needs a macro name", d.c_str());
            else
                value = (m_macros.count(line[1].text) != 0) == (d == "ifdef");
        }
        conditions.push_back({active, active && value, !active || value, false, name.line});
        return;
    }
    if (d == "elif" || d == "else" || d == "endif")
    {
        if (conditions.empty())
        {
            Error(&name, "#%s without #if", d.c_str());
            return;
        }
        Condition& c = conditions.back();
        if (d == "endif")
        {
            conditions.pop_back();
            return;
        }
        if (c.sawElse)
        {
            Error(&name, "#%s after #else", d.c_str());
            return;
        }
        if (d == "else")
        {
            c.sawElse = true;
            c.active = c.parentActive && !c.taken;
            c.taken = true;
            return;
        }
        const bool value = c.parentActive && !c.taken && Evaluate(line, 1, name);
        c.active = value;
        c.taken = c.taken || value;
        return;
    }
    if (!active)
        return;
    if (d == "define")
        DefineFromLine(line);
    else if (d == "undef")
    {
        if (line.size() < 2 || line[1].kind != ShaderToken::Identifier)
            Error(&name, "#undef needs a macro name");
        else
            m_macros.erase(line[1].text);
    }
    else if (d == "include")
        Include(line, data, depth, out);
    else if (d == "error")
    {
        std::string text;
        for (size_t k = 1; k < line.size(); ++k)
            text += (k > 1 ? " " : "") + line[k].text;
        Error(&name, "#error %s", text.c_str());
    }
    else if (d == "pragma" && line.size() > 1 && line[1].text == "program")
    {
        for (size_t k = 2; k < line.size(); ++k)
            m_programWords += (m_programWords.empty() ? "" : " ") + line[k].text;
    }
    else if (d != "pragma" && d != "line")
        Error(&name, "unknown directive #%s", d.c_str());
    (void)file;
}

void ShaderPreprocessor::DefineFromLine(const std::vector<ShaderToken>& line)
{
    if (line.size() < 2 || line[1].kind != ShaderToken::Identifier || line[1].text == "defined")
    {
        Error(&line[0], "#define needs a macro name");
        return;
    }
    Macro macro;
    size_t k = 2;
    if (k < line.size() && line[k].text == "(" && !line[k].spaceBefore)
    {
        macro.function = true;
        ++k;
        while (k < line.size() && line[k].text != ")")
        {
            if (line[k].kind != ShaderToken::Identifier || Contains(macro.params, line[k].text))
            {
                Error(&line[k], "bad parameter '%s' of macro '%s'", line[k].text.c_str(), line[1].text.c_str());
                return;
            }
            macro.params.push_back(line[k++].text);
            if (k < line.size() && line[k].text == ",")
                ++k;
        }
        if (k >= line.size())
        {
            Error(&line[1], "missing ')' in the parameters of macro '%s'", line[1].text.c_str());
            return;
        }
        ++k;
    }
    macro.body.assign(line.begin() + std::ptrdiff_t(std::min(k, line.size())), line.end());
    m_macros[line[1].text] = std::move(macro);
}

void ShaderPreprocessor::Include(const std::vector<ShaderToken>& line, const void* data, uint32_t depth,
                                 std::vector<ShaderToken>* out)
{
    std::vector<ShaderToken> rest(line.begin() + 1, line.end());
    if (!rest.empty() && rest[0].kind == ShaderToken::Identifier)
        rest = Expand(rest, {});
    std::string fileName;
    IncludeType type = IncludeType::Local;
    if (!rest.empty() && rest[0].kind == ShaderToken::String && rest[0].text.size() >= 2)
        fileName = rest[0].text.substr(1, rest[0].text.size() - 2);
    else if (!rest.empty() && rest[0].text == "<")
    {
        type = IncludeType::System;
        size_t k = 1;
        for (; k < rest.size() && rest[k].text != ">"; ++k)
            fileName += rest[k].text;
        if (k == rest.size())
            fileName.clear();
    }
    if (fileName.empty())
    {
        Error(&line[0], "#include needs a \"file\" or <file> name");
        return;
    }
    if (!m_includes)
    {
        Error(&line[0], "cannot open include file '%s': no include handler", fileName.c_str());
        return;
    }
    if (++m_includeCount > kMaxIncludes)
    {
        Error(&line[0], "more than %u includes", kMaxIncludes);
        return;
    }
    if (depth + 1 >= kMaxIncludeDepth)
    {
        Error(&line[0], "includes nested deeper than %u at '%s'", kMaxIncludeDepth, fileName.c_str());
        return;
    }
    const void* included = nullptr;
    uint32_t bytes = 0;
    if (m_includes->Open(type, fileName.c_str(), data, &included, &bytes) != kOk || (!included && bytes > 0))
    {
        Error(&line[0], "cannot open include file '%s'", fileName.c_str());
        return;
    }
    const uint32_t file = uint32_t(m_files.size());
    m_files.push_back(fileName);
    std::vector<ShaderToken> tokens;
    const bool lexed = Tokenize(static_cast<const char*>(included), bytes, file, &tokens);
    if (lexed)
        ProcessFile(tokens, file, included, depth + 1, out);
    m_includes->Close(included);
}

bool ShaderPreprocessor::EvaluateInteger(const std::vector<ShaderToken>& tokens, const ShaderToken& at,
                                         int64_t* value)
{
    Expression expression(tokens, *this, at);
    return expression.Evaluate(value);
}

bool ShaderPreprocessor::Evaluate(const std::vector<ShaderToken>& line, size_t first, const ShaderToken& at)
{
    std::vector<ShaderToken> resolved;
    for (size_t k = first; k < line.size(); ++k)
    {
        if (line[k].kind == ShaderToken::Identifier && line[k].text == "defined")
        {
            const bool paren = k + 1 < line.size() && line[k + 1].text == "(";
            const size_t nameAt = k + (paren ? 2 : 1);
            if (nameAt >= line.size() || line[nameAt].kind != ShaderToken::Identifier ||
                (paren && (nameAt + 1 >= line.size() || line[nameAt + 1].text != ")")))
            {
                Error(&line[k], "defined needs a macro name");
                return false;
            }
            ShaderToken value = line[k];
            value.kind = ShaderToken::Number;
            // One character, not a literal: g++ 12 takes a literal copied over a copied string
            // for an overlapping copy.
            value.text.assign(1, m_macros.count(line[nameAt].text) ? '1' : '0');
            resolved.push_back(value);
            k = nameAt + (paren ? 1 : 0);
            continue;
        }
        resolved.push_back(line[k]);
    }
    if (resolved.empty())
    {
        Error(&at, "#%s without an expression", at.text.c_str());
        return false;
    }
    const std::vector<ShaderToken> expanded = Expand(resolved, {});
    int64_t value = 0;
    Expression expression(expanded, *this, at);
    return expression.Evaluate(&value) && value != 0;
}

std::vector<ShaderToken> ShaderPreprocessor::Expand(const std::vector<ShaderToken>& in,
                                                    const std::vector<std::string>& disabled)
{
    std::vector<ShaderToken> out;
    // Arguments nest without growing the disabled list, so the recursion itself is what is bounded.
    struct Nesting
    {
        explicit Nesting(size_t& depth) : m_depth(++depth) {}
        ~Nesting() { --m_depth; }
        size_t& m_depth;
    } const nesting(m_expandDepth);
    if (m_expandDepth > kMaxExpansionDepth)
    {
        Error(in.empty() ? nullptr : &in[0], "macros nested deeper than %zu", kMaxExpansionDepth);
        return out;
    }
    for (size_t i = 0; i < in.size() && !m_failed; ++i)
    {
        const ShaderToken& t = in[i];
        const auto found = t.kind == ShaderToken::Identifier && !t.noExpand ? m_macros.find(t.text) : m_macros.end();
        if (found == m_macros.end())
        {
            out.push_back(t);
            continue;
        }
        if (Contains(disabled, t.text))
        {
            out.push_back(t);
            out.back().noExpand = true;
            continue;
        }
        const Macro& macro = found->second;
        std::vector<std::vector<ShaderToken>> args;
        if (macro.function)
        {
            if (i + 1 >= in.size() || in[i + 1].text != "(")
            {
                out.push_back(t); // a function-like name without arguments stays as it is
                continue;
            }
            size_t k = i + 2;
            int nesting = 0;
            args.emplace_back();
            for (; k < in.size(); ++k)
            {
                const std::string& s = in[k].text;
                if (in[k].kind == ShaderToken::Punctuator && (s == "(" || s == "["))
                    ++nesting;
                else if (in[k].kind == ShaderToken::Punctuator && (s == ")" || s == "]"))
                {
                    if (nesting == 0 && s == ")")
                        break;
                    --nesting;
                }
                else if (nesting == 0 && in[k].kind == ShaderToken::Punctuator && s == ",")
                {
                    args.emplace_back();
                    continue;
                }
                args.back().push_back(in[k]);
            }
            if (k >= in.size())
            {
                Error(&t, "unterminated call of macro '%s'", t.text.c_str());
                return out;
            }
            if (macro.params.empty() && args.size() == 1 && args[0].empty())
                args.clear();
            if (args.size() != macro.params.size())
            {
                Error(&t, "macro '%s' takes %zu arguments, not %zu", t.text.c_str(), macro.params.size(), args.size());
                return out;
            }
            i = k;
        }
        std::vector<std::string> inner = disabled;
        inner.push_back(t.text);
        const std::vector<ShaderToken> replaced = Expand(Substitute(macro, args, disabled, t), inner);
        if (out.size() + replaced.size() > kMaxTokens)
        {
            Error(&t, "macro expansion passes %zu tokens", kMaxTokens);
            return out;
        }
        for (ShaderToken r : replaced)
        {
            r.file = t.file;
            r.line = t.line;
            out.push_back(std::move(r));
        }
    }
    return out;
}

std::vector<ShaderToken> ShaderPreprocessor::Substitute(const Macro& macro,
                                                        const std::vector<std::vector<ShaderToken>>& args,
                                                        const std::vector<std::string>& disabled,
                                                        const ShaderToken& at)
{
    auto param = [&](const ShaderToken& t) -> int {
        if (t.kind != ShaderToken::Identifier)
            return -1;
        const auto it = std::find(macro.params.begin(), macro.params.end(), t.text);
        return it == macro.params.end() ? -1 : int(it - macro.params.begin());
    };
    const std::vector<ShaderToken>& body = macro.body;
    std::vector<ShaderToken> out;
    for (size_t i = 0; i < body.size(); ++i)
    {
        const ShaderToken& t = body[i];
        if (macro.function && t.text == "#" && t.kind == ShaderToken::Punctuator && i + 1 < body.size() &&
            param(body[i + 1]) >= 0)
        {
            ShaderToken s = at;
            s.kind = ShaderToken::String;
            s.text.assign(1, '"');
            for (const ShaderToken& a : args[size_t(param(body[i + 1]))])
                s.text += (s.text.size() > 1 && a.spaceBefore ? " " : "") + a.text;
            s.text += "\"";
            out.push_back(s);
            ++i;
            continue;
        }
        const int p = param(t);
        if (p < 0)
        {
            out.push_back(t);
            continue;
        }
        const bool pasted = (i > 0 && body[i - 1].text == "##") || (i + 1 < body.size() && body[i + 1].text == "##");
        const std::vector<ShaderToken> arg = pasted ? args[size_t(p)] : Expand(args[size_t(p)], disabled);
        out.insert(out.end(), arg.begin(), arg.end());
    }
    // Token pasting: glue the tokens on both sides of each ##.
    std::vector<ShaderToken> pasted;
    for (size_t i = 0; i < out.size(); ++i)
    {
        if (out[i].kind == ShaderToken::Punctuator && out[i].text == "##" && !pasted.empty() && i + 1 < out.size())
        {
            ShaderToken& left = pasted.back();
            left.text += out[++i].text;
            left.kind = IsIdentStart(left.text[0]) ? ShaderToken::Identifier
                        : std::isdigit(uint8_t(left.text[0])) ? ShaderToken::Number
                                                              : ShaderToken::Punctuator;
            continue;
        }
        pasted.push_back(out[i]);
    }
    return pasted;
}
} // namespace gpu
