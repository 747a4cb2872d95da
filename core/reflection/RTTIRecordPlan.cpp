#include "core/reflection/RTTIRecordPlan.h"

#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"

#include <mutex>

namespace
{
// Blocks here are a few fields long: copied inline in 16-, 8- and 4-byte pieces (every fixed form is
// a whole number of bytes, mostly of words) rather than through a library call per block.
inline void CopyBlock(char* destination, const char* source, uint32_t bytes)
{
    uint32_t at = 0;
    for (; at + 16 <= bytes; at += 16)
        __builtin_memcpy(destination + at, source + at, 16);
    if (at + 8 <= bytes)
    {
        __builtin_memcpy(destination + at, source + at, 8);
        at += 8;
    }
    if (at + 4 <= bytes)
    {
        __builtin_memcpy(destination + at, source + at, 4);
        at += 4;
    }
    for (; at < bytes; ++at)
        destination[at] = source[at];
}

std::mutex& MovesLock()
{
    static std::mutex* const lock = new std::mutex;
    return *lock;
}
} // namespace

RTTIRecordPlan::RTTIRecordPlan(const RTTIPropertiesBase& table, uint32_t flags)
{
    for (const RTTIPropertiesBase* chained : table.GetClassChain())
    {
        if ((flags & RTTI_OWN_CLASS_ONLY) && chained != &table)
            continue;
        for (const RTTIProperty* property : chained->GetProperties())
        {
            if (!property->IsSerialized(flags))
                continue;
            const uint32_t size = property->GetFixedSize();
            const uint32_t index = uint32_t(m_properties.size());
            m_properties.push_back(property);
            m_sizes.push_back(size);
            if (size != 0 && !m_steps.empty() && m_steps.back().fixedBytes != 0)
            {
                ++m_steps.back().count;
                m_steps.back().fixedBytes += size;
            }
            else
                m_steps.push_back(Step{index, 1, size});
        }
    }
}

RTTIRecordPlan::~RTTIRecordPlan()
{
    delete m_moves.load(std::memory_order_acquire);
}

const RTTIRecordPlan::Moves& RTTIRecordPlan::MakeMoves(const RTTIPolyBaseClass* object) const
{
    const std::lock_guard<std::mutex> lock(MovesLock());
    if (const Moves* moves = m_moves.load(std::memory_order_relaxed))
        return *moves;
    Moves* const made = new Moves;
    for (const Step& step : m_steps)
    {
        made->stepFirstMove.push_back(uint32_t(made->moves.size()));
        if (step.fixedBytes == 0)
            continue;
        for (uint32_t i = step.first; i < step.first + step.count; ++i)
        {
            ptrdiff_t offset = -1;
            if (!m_properties[i]->GetRawFieldOffset(object, offset) || offset < 0)
            {
                made->moves.push_back(Move{-1, m_sizes[i], i});
                continue;
            }
            Move* const last = made->moves.size() > made->stepFirstMove.back() ? &made->moves.back() : nullptr;
            if (last != nullptr && last->fieldOffset >= 0 && last->fieldOffset + ptrdiff_t(last->bytes) == offset)
                last->bytes += m_sizes[i];
            else
                made->moves.push_back(Move{offset, m_sizes[i], i});
        }
    }
    made->stepFirstMove.push_back(uint32_t(made->moves.size()));
    m_moves.store(made, std::memory_order_release);
    return *made;
}

void RTTIRecordPlan::Write(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const
{
    const bool swap = out.ByteSwaps();
    const Moves* const moves = out.IsSizeQuery() ? nullptr : &GetMoves(object);
    const char* const base = reinterpret_cast<const char*>(object);
    for (size_t s = 0; s < m_steps.size(); ++s)
    {
        const Step& step = m_steps[s];
        if (step.fixedBytes == 0)
        {
            m_properties[step.first]->Serialize(out, object, flags);
            continue;
        }
        uint8_t* at = out.Reserve(step.fixedBytes);
        if (at == nullptr)
            continue;
        // Swapped words are written one by one; the moves only speed up the plain form.
        if (swap)
        {
            for (uint32_t i = step.first; i < step.first + step.count; ++i)
            {
                m_properties[i]->WriteFixed(at, object, true);
                at += m_sizes[i];
            }
            continue;
        }
        for (uint32_t m = moves->stepFirstMove[s]; m < moves->stepFirstMove[s + 1]; ++m)
        {
            const Move& move = moves->moves[m];
            if (move.fieldOffset >= 0)
                CopyBlock(reinterpret_cast<char*>(at), base + move.fieldOffset, move.bytes);
            else
                m_properties[move.property]->WriteFixed(at, object, false);
            at += move.bytes;
        }
    }
}

bool RTTIRecordPlan::Validate(RecordInput& in, uint32_t flags) const
{
    for (const Step& step : m_steps)
    {
        const bool whole = step.fixedBytes != 0 ? in.Skip(step.fixedBytes) : m_properties[step.first]->Validate(in, flags);
        if (!whole)
            return false;
    }
    return true;
}

bool RTTIRecordPlan::Read(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const
{
    const Moves& moves = GetMoves(object);
    char* const base = reinterpret_cast<char*>(object);
    for (size_t s = 0; s < m_steps.size(); ++s)
    {
        const Step& step = m_steps[s];
        if (step.fixedBytes == 0)
        {
            if (!m_properties[step.first]->Deserialize(in, object, flags))
                return false;
            continue;
        }
        const uint8_t* at = in.Take(step.fixedBytes);
        if (at == nullptr)
            return false;
        for (uint32_t m = moves.stepFirstMove[s]; m < moves.stepFirstMove[s + 1]; ++m)
        {
            const Move& move = moves.moves[m];
            if (move.fieldOffset >= 0)
                CopyBlock(base + move.fieldOffset, reinterpret_cast<const char*>(at), move.bytes);
            else
                m_properties[move.property]->ReadFixed(at, object);
            at += move.bytes;
        }
    }
    return true;
}
