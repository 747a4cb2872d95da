#include "platform/gpu/ShaderReflector.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace gpu
{
namespace
{
constexpr size_t kStop = size_t(-1);

bool IsModifier(const std::string& s)
{
    static const char* const kModifiers[] = {"static", "uniform", "const", "extern", "shared", "volatile",
                                             "inline", "row_major", "column_major", "precise", "in", "out",
                                             "inout"};
    for (const char* m : kModifiers)
        if (s == m)
            return true;
    return false;
}

bool StartsWithNoCase(const std::string& s, const char* prefix)
{
    const size_t n = strlen(prefix);
    if (s.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(uint8_t(s[i])) != std::tolower(uint8_t(prefix[i])))
            return false;
    return true;
}

uint32_t RegistersPerElement(const ShaderConstant& c)
{
    if (c.constantClass == ConstantClass::MatrixColumns)
        return c.columns;
    if (c.constantClass == ConstantClass::MatrixRows)
        return c.rows;
    return 1;
}

uint32_t RegisterLimit(RegisterSet set, ShaderStage stage, const std::string& profile)
{
    switch (set)
    {
    case RegisterSet::Float4:
        return stage == ShaderStage::Vertex ? kVertexConstantRegisters
                                            : (StartsWithNoCase(profile, "ps_3") ? kPixelConstantRegisters : 32);
    case RegisterSet::Sampler: return stage == ShaderStage::Vertex ? 4 : kSamplerCount;
    default: return 16;
    }
}

const char kSetLetters[] = {'b', 'i', 'c', 's'};
} // namespace

bool ShaderReflector::CheckBalance()
{
    std::vector<const ShaderToken*> open;
    for (const ShaderToken& t : m_tokens)
    {
        if (t.kind != ShaderToken::Punctuator)
            continue;
        const std::string& s = t.text;
        if (s == "{" || s == "(" || s == "[")
            open.push_back(&t);
        else if (s == "}" || s == ")" || s == "]")
        {
            const char* expected = s == "}" ? "{" : s == ")" ? "(" : "[";
            const char* what = s == "}" ? "braces" : s == ")" ? "parentheses" : "brackets";
            if (open.empty() || open.back()->text != expected)
            {
                m_messages.Error(&t, "unbalanced %s: '%s' without a matching '%s'", what, s.c_str(), expected);
                return false;
            }
            open.pop_back();
        }
    }
    if (!open.empty())
    {
        const ShaderToken* t = open.back();
        const char* what = t->text == "{" ? "braces" : t->text == "(" ? "parentheses" : "brackets";
        m_messages.Error(t, "unbalanced %s: '%s' is never closed", what, t->text.c_str());
        return false;
    }
    return true;
}

size_t ShaderReflector::Skip(size_t i, const char* open, const char* close)
{
    int depth = 0;
    for (; i < m_tokens.size(); ++i)
    {
        if (m_tokens[i].kind != ShaderToken::Punctuator)
            continue;
        if (m_tokens[i].text == open)
            ++depth;
        else if (m_tokens[i].text == close && --depth == 0)
            return i + 1;
    }
    return m_tokens.size();
}

void ShaderReflector::AddUses(size_t begin, size_t end, std::set<std::string>* names) const
{
    for (size_t i = begin; i < end && i < m_tokens.size(); ++i)
        if (m_tokens[i].kind == ShaderToken::Identifier && !(i > 0 && m_tokens[i - 1].text == "."))
            names->insert(m_tokens[i].text);
}

size_t ShaderReflector::ParseType(size_t i, bool rowMajor, ShaderConstant* c, bool* isTexture)
{
    *isTexture = false;
    if (i >= m_tokens.size() || m_tokens[i].kind != ShaderToken::Identifier)
        return 0;
    const std::string& text = m_tokens[i].text;
    c->rows = c->columns = 1;
    c->elements = 1;
    if (StartsWithNoCase(text, "texture"))
    {
        *isTexture = true;
        return i + 1;
    }
    static const struct
    {
        const char* name;
        ConstantType type;
    } kSamplers[] = {{"sampler", ConstantType::Sampler},          {"sampler1D", ConstantType::Sampler1D},
                     {"sampler2D", ConstantType::Sampler2D},      {"sampler3D", ConstantType::Sampler3D},
                     {"samplerCUBE", ConstantType::SamplerCube}};
    for (const auto& s : kSamplers)
        if (text == s.name)
        {
            c->registerSet = RegisterSet::Sampler;
            c->constantClass = ConstantClass::Object;
            c->type = s.type;
            return i + 1;
        }
    std::string base = text;
    uint32_t rows = 0, columns = 0;
    size_t next = i + 1;
    if ((text == "vector" || text == "matrix") && Is(i + 1, "<"))
    {
        // vector<float, 4> and matrix<float, 4, 4>
        const bool matrix = text == "matrix";
        const size_t close = i + (matrix ? 7 : 5);
        if (close >= m_tokens.size() || !Is(close, ">") || !Is(i + 3, ",") || (matrix && !Is(i + 5, ",")))
            return 0;
        base = m_tokens[i + 2].text;
        rows = matrix ? uint32_t(atoi(m_tokens[i + 4].text.c_str())) : 1;
        columns = uint32_t(atoi(m_tokens[i + (matrix ? 6 : 4)].text.c_str()));
        if (rows < 1 || rows > 4 || columns < 1 || columns > 4)
            return 0;
        if (!matrix)
            rows = 0; // a vector, not a 1xN matrix
        next = close + 1;
    }
    static const struct
    {
        const char* name;
        RegisterSet set;
        ConstantType type;
    } kBases[] = {{"float", RegisterSet::Float4, ConstantType::Float}, {"half", RegisterSet::Float4, ConstantType::Float},
                  {"double", RegisterSet::Float4, ConstantType::Float}, {"uint", RegisterSet::Int4, ConstantType::Int},
                  {"int", RegisterSet::Int4, ConstantType::Int},       {"dword", RegisterSet::Int4, ConstantType::Int},
                  {"bool", RegisterSet::Bool, ConstantType::Bool}};
    for (const auto& b : kBases)
    {
        const size_t n = strlen(b.name);
        if (base.compare(0, n, b.name) != 0)
            continue;
        const std::string suffix = base.substr(n);
        if (next == i + 1)
        {
            if (suffix.size() == 1 && suffix[0] >= '1' && suffix[0] <= '4')
                columns = uint32_t(suffix[0] - '0');
            else if (suffix.size() == 3 && suffix[1] == 'x' && suffix[0] >= '1' && suffix[0] <= '4' &&
                     suffix[2] >= '1' && suffix[2] <= '4')
            {
                rows = uint32_t(suffix[0] - '0');
                columns = uint32_t(suffix[2] - '0');
            }
            else if (!suffix.empty())
                continue;
        }
        else if (!suffix.empty())
            continue;
        c->registerSet = b.set;
        c->type = b.type;
        if (rows > 0)
        {
            c->constantClass = rowMajor ? ConstantClass::MatrixRows : ConstantClass::MatrixColumns;
            c->rows = rows;
            c->columns = columns;
        }
        else if (columns > 0)
        {
            c->constantClass = ConstantClass::Vector;
            c->columns = columns;
        }
        else
            c->constantClass = ConstantClass::Scalar;
        return next;
    }
    return 0;
}

size_t ShaderReflector::ParseDeclarator(size_t j, const ShaderConstant& type, bool isUniform, bool isTexture)
{
    if (j >= m_tokens.size() || m_tokens[j].kind != ShaderToken::Identifier)
    {
        m_messages.Error(j < m_tokens.size() ? &m_tokens[j] : &m_tokens.back(), "expected a name in a declaration");
        return kStop;
    }
    Uniform u;
    u.constant = type;
    u.constant.name = m_tokens[j].text;
    u.at = &m_tokens[j];
    size_t k = j + 1;
    while (Is(k, "["))
    {
        const size_t close = Skip(k, "[", "]");
        const std::vector<ShaderToken> size(m_tokens.begin() + std::ptrdiff_t(k + 1),
                                            m_tokens.begin() + std::ptrdiff_t(close - 1));
        int64_t elements = 0;
        // The limit holds for all dimensions together: their product must not wrap the element count.
        if (size.empty() || !m_messages.EvaluateInteger(size, m_tokens[k], &elements) || elements <= 0 ||
            uint64_t(elements) * u.constant.elements > 65536)
        {
            if (!m_messages.Failed())
                m_messages.Error(&m_tokens[k], "the array size of '%s' must be a positive integer",
                                 u.constant.name.c_str());
            return kStop;
        }
        u.constant.elements *= uint32_t(elements);
        k = close;
    }
    while (Is(k, ":") || Is(k, "<"))
    {
        if (Is(k, "<"))
        {
            k = Skip(k, "<", ">");
            continue;
        }
        if (!Is(k + 1, "register"))
        {
            k += 2; // a semantic
            continue;
        }
        const size_t close = Skip(k + 2, "(", ")");
        std::vector<const ShaderToken*> parts;
        for (size_t p = k + 3; p + 1 < close; ++p)
            if (m_tokens[p].text != ",")
                parts.push_back(&m_tokens[p]);
        k = close;
        if (parts.empty() || parts.size() > 2)
        {
            m_messages.Error(u.at, "malformed register binding of '%s'", u.constant.name.c_str());
            return kStop;
        }
        if (parts.size() == 2 && !StartsWithNoCase(m_profile, parts[0]->text.c_str()))
            continue; // bound for another stage
        const std::string& binding = parts.back()->text;
        char* end = nullptr;
        const long index = binding.size() > 1 ? strtol(binding.c_str() + 1, &end, 10) : -1;
        if (index < 0 || !end || *end != '\0')
        {
            m_messages.Error(parts.back(), "unknown register '%s'", binding.c_str());
            return kStop;
        }
        if (std::tolower(uint8_t(binding[0])) != kSetLetters[size_t(u.constant.registerSet)])
        {
            m_messages.Error(parts.back(), "register '%s' does not suit '%s'", binding.c_str(),
                             u.constant.name.c_str());
            return kStop;
        }
        u.explicitRegister = int32_t(index);
    }
    std::set<std::string> uses;
    if (Is(k, "="))
    {
        size_t end = k + 1;
        while (end < m_tokens.size() && !Is(end, ",") && !Is(end, ";"))
        {
            const std::string& s = m_tokens[end].text;
            if (s == "{" || s == "(" || s == "[")
                end = Skip(end, s.c_str(), s == "{" ? "}" : s == "(" ? ")" : "]");
            else
                ++end;
        }
        AddUses(k + 1, end, &uses);
        k = end;
    }
    if (!isUniform)
        m_statics[u.constant.name] = std::move(uses);
    else if (!isTexture)
    {
        if (m_uniforms.count(u.constant.name))
        {
            m_messages.Error(u.at, "redefinition of '%s'", u.constant.name.c_str());
            return kStop;
        }
        u.order = m_order++;
        m_uniforms[u.constant.name] = std::move(u);
    }
    return k;
}

size_t ShaderReflector::ParseDeclaration(size_t i)
{
    bool isStatic = false, rowMajor = false;
    for (; i < m_tokens.size() && IsModifier(m_tokens[i].text); ++i)
    {
        isStatic |= m_tokens[i].text == "static";
        rowMajor |= m_tokens[i].text == "row_major";
    }
    if (i >= m_tokens.size())
        return i;
    ShaderConstant type{};
    bool isTexture = false;
    size_t next = ParseType(i, rowMajor, &type, &isTexture);
    const bool isVoid = next == 0 && m_tokens[i].text == "void";
    const bool isStruct = next == 0 && m_structs.count(m_tokens[i].text);
    if (next == 0 && !isVoid && !isStruct)
    {
        m_messages.Error(&m_tokens[i], "unknown type '%s'", m_tokens[i].text.c_str());
        return kStop;
    }
    if (next == 0)
        next = i + 1;
    if (next >= m_tokens.size() || m_tokens[next].kind != ShaderToken::Identifier)
    {
        m_messages.Error(&m_tokens[std::min(next, m_tokens.size() - 1)], "expected a name after '%s'",
                         m_tokens[i].text.c_str());
        return kStop;
    }
    const std::string& name = m_tokens[next].text;
    if (Is(next + 1, "("))
    {
        Function f;
        f.paramsBegin = next + 2;
        f.paramsEnd = Skip(next + 1, "(", ")") - 1;
        size_t j = f.paramsEnd + 1;
        if (Is(j, ":"))
            j += 2;
        if (Is(j, ";"))
            return j + 1; // a prototype
        if (!Is(j, "{"))
        {
            m_messages.Error(&m_tokens[std::min(j, m_tokens.size() - 1)], "expected '{' after function '%s'",
                             name.c_str());
            return kStop;
        }
        const size_t bodyEnd = Skip(j, "{", "}");
        f.defined = true;
        AddUses(f.paramsBegin, bodyEnd, &f.names);
        m_functions[name].push_back(std::move(f));
        return bodyEnd;
    }
    if (isVoid)
    {
        m_messages.Error(&m_tokens[next], "variable '%s' declared void", name.c_str());
        return kStop;
    }
    if (isStruct && !isStatic)
    {
        m_messages.Error(&m_tokens[next], "uniform '%s' of struct type '%s' is not supported", name.c_str(),
                         m_tokens[i].text.c_str());
        return kStop;
    }
    size_t j = next;
    for (;;)
    {
        j = ParseDeclarator(j, type, !isStatic, isTexture);
        if (j == kStop)
            return kStop;
        if (Is(j, ","))
        {
            ++j;
            continue;
        }
        if (Is(j, ";"))
            return j + 1;
        m_messages.Error(&m_tokens[std::min(j, m_tokens.size() - 1)], "expected ';' after '%s'", name.c_str());
        return kStop;
    }
}

bool ShaderReflector::Parse()
{
    size_t i = 0;
    while (i < m_tokens.size() && !m_messages.Failed())
    {
        const ShaderToken& t = m_tokens[i];
        if (t.text == ";")
            ++i;
        else if (t.text == "struct" || t.text == "typedef" || t.text == "technique" || t.text == "technique9" ||
                 t.text == "technique10" || t.text == "pass")
        {
            if (t.text == "struct" && i + 1 < m_tokens.size())
                m_structs.insert(m_tokens[i + 1].text);
            // Skip the whole construct: up to its block, then to the ';' that ends a struct or typedef.
            size_t j = i + 1;
            while (j < m_tokens.size() && !Is(j, "{") && !Is(j, ";"))
                ++j;
            if (Is(j, "{"))
                j = Skip(j, "{", "}");
            if (t.text == "struct" || t.text == "typedef")
                while (j < m_tokens.size() && !Is(j, ";"))
                    ++j;
            i = j;
        }
        else if (t.text == "[")
            i = Skip(i, "[", "]");
        else if (t.text == "{" || t.text == "}")
        {
            m_messages.Error(&t, "unexpected '%s' at global scope", t.text.c_str());
            return false;
        }
        else
        {
            i = ParseDeclaration(i);
            if (i == kStop)
                return false;
        }
    }
    return !m_messages.Failed();
}

void ShaderReflector::Visit(const std::string& name, std::set<std::string>& seen, std::set<std::string>& used)
{
    // A work list, not recursion: a long chain of calls in the source must not exhaust the stack.
    std::vector<const std::string*> pending = {&name};
    while (!pending.empty())
    {
        const std::string& next = *pending.back();
        pending.pop_back();
        if (!seen.insert(next).second)
            continue;
        if (m_uniforms.count(next))
            used.insert(next);
        if (const auto s = m_statics.find(next); s != m_statics.end())
            for (const std::string& n : s->second)
                pending.push_back(&n);
        if (const auto f = m_functions.find(next); f != m_functions.end())
            for (const Function& overload : f->second)
                for (const std::string& n : overload.names)
                    pending.push_back(&n);
    }
}

bool ShaderReflector::EntryParameters(const Function& entry, std::vector<Uniform>* parameters)
{
    size_t start = entry.paramsBegin;
    for (size_t i = entry.paramsBegin; i <= entry.paramsEnd; ++i)
    {
        if (i < entry.paramsEnd && !Is(i, ","))
        {
            const std::string& s = m_tokens[i].text;
            if (s == "(" || s == "[")
                i = Skip(i, s.c_str(), s == "(" ? ")" : "]") - 1;
            continue;
        }
        bool uniform = false, rowMajor = false;
        size_t k = start;
        for (; k < i && IsModifier(m_tokens[k].text); ++k)
        {
            uniform |= m_tokens[k].text == "uniform";
            rowMajor |= m_tokens[k].text == "row_major";
        }
        start = i + 1;
        if (!uniform)
            continue;
        Uniform u;
        bool isTexture = false;
        const size_t nameAt = ParseType(k, rowMajor, &u.constant, &isTexture);
        if (nameAt == 0 || nameAt >= i || m_tokens[nameAt].kind != ShaderToken::Identifier)
        {
            m_messages.Error(&m_tokens[k], "unsupported uniform parameter of the entry point");
            return false;
        }
        if (isTexture)
            continue;
        u.constant.name = "$" + m_tokens[nameAt].text;
        u.at = &m_tokens[nameAt];
        u.order = m_order++;
        parameters->push_back(std::move(u));
    }
    return true;
}

bool ShaderReflector::AssignRegisters(std::vector<Uniform*>& used, ShaderStage stage, const std::string& profile)
{
    std::vector<const Uniform*> owner[4];
    for (int set = 0; set < 4; ++set)
        owner[set].assign(RegisterLimit(RegisterSet(set), stage, profile), nullptr);
    auto place = [&](Uniform* u, uint32_t first) {
        std::vector<const Uniform*>& slots = owner[size_t(u->constant.registerSet)];
        for (uint32_t r = first; r < first + u->constant.registerCount; ++r)
            slots[r] = u;
        u->constant.registerIndex = first;
    };
    for (Uniform* u : used)
        u->constant.registerCount = RegistersPerElement(u->constant) * u->constant.elements;
    for (Uniform* u : used)
    {
        if (u->explicitRegister < 0)
            continue;
        const std::vector<const Uniform*>& slots = owner[size_t(u->constant.registerSet)];
        const uint64_t first = uint64_t(u->explicitRegister), end = first + u->constant.registerCount;
        if (end > slots.size())
        {
            m_messages.Error(u->at, "'%s' needs registers %llu to %llu, past the %zu of this profile",
                             u->constant.name.c_str(), (unsigned long long)first, (unsigned long long)end - 1,
                             slots.size());
            return false;
        }
        for (uint64_t r = first; r < end; ++r)
            if (slots[r])
            {
                m_messages.Error(u->at, "registers of '%s' and '%s' overlap", u->constant.name.c_str(),
                                 slots[r]->constant.name.c_str());
                return false;
            }
        place(u, uint32_t(first));
    }
    for (Uniform* u : used)
    {
        if (u->explicitRegister >= 0)
            continue;
        const std::vector<const Uniform*>& slots = owner[size_t(u->constant.registerSet)];
        const uint32_t need = u->constant.registerCount;
        uint32_t first = 0, run = 0;
        for (uint32_t r = 0; r < slots.size() && run < need; ++r)
        {
            run = slots[r] ? 0 : run + 1;
            if (run == 1)
                first = r;
        }
        if (run < need)
        {
            m_messages.Error(u->at, "out of registers for '%s' (%u needed)", u->constant.name.c_str(), need);
            return false;
        }
        place(u, first);
    }
    return true;
}

bool ShaderReflector::Reflect(const char* entryPoint, ShaderStage stage, const std::string& profile,
                              std::vector<ShaderConstant>* constants)
{
    m_profile = profile;
    if (!CheckBalance() || !Parse())
        return false;
    const auto entry = m_functions.find(entryPoint);
    if (entry == m_functions.end())
    {
        m_messages.Error(nullptr, "entry point '%s' not found", entryPoint);
        return false;
    }
    std::set<std::string> seen, usedNames;
    Visit(entryPoint, seen, usedNames);
    std::vector<Uniform> parameters;
    if (!EntryParameters(entry->second.front(), &parameters))
        return false;
    std::vector<Uniform*> used;
    for (const std::string& name : usedNames)
        used.push_back(&m_uniforms[name]);
    for (Uniform& p : parameters)
        used.push_back(&p);
    std::sort(used.begin(), used.end(), [](const Uniform* a, const Uniform* b) { return a->order < b->order; });
    if (!AssignRegisters(used, stage, profile))
        return false;
    constants->clear();
    for (const Uniform* u : used)
        constants->push_back(u->constant);
    std::sort(constants->begin(), constants->end(), [](const ShaderConstant& a, const ShaderConstant& b) {
        return a.registerSet != b.registerSet ? a.registerSet < b.registerSet : a.registerIndex < b.registerIndex;
    });
    return true;
}
} // namespace gpu
