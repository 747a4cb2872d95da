#include "platform/gpu/ShaderCode.h"

#include "platform/gpu/GpuLog.h"

namespace gpu
{
namespace
{
constexpr uint32_t kMagic = 0x4353564Eu; // "NVSC"
constexpr uint16_t kVersion = 2;
// Code of version 1 carries no program words; caches written before them still load.
constexpr uint16_t kVersionWithoutProgram = 1;

class Writer
{
public:
    void U8(uint8_t v) { m_out.push_back(v); }
    void U16(uint16_t v)
    {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v)
    {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    void String(const std::string& s)
    {
        const size_t length = s.size() < 0xFFFF ? s.size() : 0xFFFF;
        U16(uint16_t(length));
        m_out.insert(m_out.end(), s.begin(), s.begin() + std::ptrdiff_t(length));
    }
    std::vector<uint8_t> Take() { return std::move(m_out); }

private:
    std::vector<uint8_t> m_out;
};

class Reader
{
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool U8(uint8_t* v)
    {
        if (m_pos + 1 > m_size)
            return false;
        *v = m_data[m_pos++];
        return true;
    }
    bool U16(uint16_t* v)
    {
        uint8_t a, b;
        if (!U8(&a) || !U8(&b))
            return false;
        *v = uint16_t(a | b << 8);
        return true;
    }
    bool U32(uint32_t* v)
    {
        uint16_t a, b;
        if (!U16(&a) || !U16(&b))
            return false;
        *v = uint32_t(a) | uint32_t(b) << 16;
        return true;
    }
    bool String(std::string* s)
    {
        uint16_t length;
        if (!U16(&length) || m_pos + length > m_size)
            return false;
        s->assign(reinterpret_cast<const char*>(m_data + m_pos), length);
        m_pos += length;
        return true;
    }
    bool AtEnd() const { return m_pos == m_size; }
    size_t Left() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};
} // namespace

std::vector<uint8_t> WriteShaderCode(const ShaderCode& code)
{
    Writer w;
    w.U32(kMagic);
    w.U16(kVersion);
    w.U8(uint8_t(code.stage));
    w.U8(0);
    w.String(code.profile);
    w.String(code.entryPoint);
    w.String(code.program);
    w.U32(code.sourceHash);
    w.U32(uint32_t(code.constants.size()));
    for (const ShaderConstant& c : code.constants)
    {
        w.String(c.name);
        w.U8(uint8_t(c.registerSet));
        w.U8(uint8_t(c.constantClass));
        w.U8(uint8_t(c.type));
        w.U8(uint8_t(c.rows));
        w.U8(uint8_t(c.columns));
        w.U32(c.elements);
        w.U32(c.registerIndex);
        w.U32(c.registerCount);
    }
    return w.Take();
}

bool ReadShaderCode(const void* data, size_t size, ShaderCode* code)
{
    if (!data || !code)
        return false;
    Reader r(static_cast<const uint8_t*>(data), size);
    uint32_t magic = 0, count = 0;
    uint16_t version = 0;
    uint8_t stage = 0, reserved = 0;
    if (!r.U32(&magic) || magic != kMagic || !r.U16(&version) ||
        (version != kVersion && version != kVersionWithoutProgram))
    {
        LogError("shader code: not compiled code of this system (magic 0x%08X)", magic);
        return false;
    }
    code->program.clear();
    if (!r.U8(&stage) || !r.U8(&reserved) || (stage != 1 && stage != 2) || !r.String(&code->profile) ||
        !r.String(&code->entryPoint) || (version == kVersion && !r.String(&code->program)) ||
        !r.U32(&code->sourceHash) || !r.U32(&count))
    {
        LogError("shader code: truncated or malformed header");
        return false;
    }
    code->stage = ShaderStage(stage);
    // Each constant takes at least 19 bytes: refuse counts the data cannot hold.
    if (count > r.Left() / 19)
    {
        LogError("shader code: %u constants cannot fit in %zu bytes", count, r.Left());
        return false;
    }
    code->constants.clear();
    code->constants.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
    {
        ShaderConstant c;
        uint8_t set, klass, type, rows, columns;
        if (!r.String(&c.name) || !r.U8(&set) || !r.U8(&klass) || !r.U8(&type) || !r.U8(&rows) || !r.U8(&columns) ||
            !r.U32(&c.elements) || !r.U32(&c.registerIndex) || !r.U32(&c.registerCount) ||
            set > uint8_t(RegisterSet::Sampler) || klass > uint8_t(ConstantClass::Object) ||
            type > uint8_t(ConstantType::SamplerCube))
        {
            LogError("shader code: constant %u is truncated or malformed", i);
            return false;
        }
        c.registerSet = RegisterSet(set);
        c.constantClass = ConstantClass(klass);
        c.type = ConstantType(type);
        c.rows = rows;
        c.columns = columns;
        code->constants.push_back(std::move(c));
    }
    if (!r.AtEnd())
    {
        LogError("shader code: %zu bytes after the constant table", r.Left());
        return false;
    }
    return true;
}

GpuBlob::GpuBlob(std::vector<uint8_t> bytes) : GpuObject(ObjectKind::Blob), m_bytes(std::move(bytes)) {}
} // namespace gpu
