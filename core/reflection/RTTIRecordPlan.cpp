#include "core/reflection/RTTIRecordPlan.h"

#include "core/reflection/RTTIObjectSupport.h"
#include "core/reflection/RTTIPolyBaseClass.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RTTITypedProperty.h"
#include "core/reflection/RTTIValueTraits.h"
#include "core/reflection/RecordStream.h"
#include "core/strings/NameString.h"

#include <cstring>
#include <mutex>
#include <string>

namespace
{
// Blocks here are a few fields long: copied inline (every fixed form is a whole number of bytes,
// mostly of words) rather than through a library call per block. The last piece of each size class
// overlaps the one before it, so a block of any length takes at most one loop and no tail loop; the
// two ranges never overlap each other, so rewriting a byte rewrites it with the same value.
inline void CopyBlock(char* destination, const char* source, size_t bytes)
{
    if (bytes >= 16)
    {
        for (size_t at = 0; at + 16 < bytes; at += 16)
            __builtin_memcpy(destination + at, source + at, 16);
        __builtin_memcpy(destination + bytes - 16, source + bytes - 16, 16);
    }
    else if (bytes >= 8)
    {
        __builtin_memcpy(destination, source, 8);
        __builtin_memcpy(destination + bytes - 8, source + bytes - 8, 8);
    }
    else if (bytes >= 4)
    {
        __builtin_memcpy(destination, source, 4);
        __builtin_memcpy(destination + bytes - 4, source + bytes - 4, 4);
    }
    else if (bytes != 0)
    {
        destination[0] = source[0];
        destination[bytes / 2] = source[bytes / 2];
        destination[bytes - 1] = source[bytes - 1];
    }
}

// A record's text never overlaps its field, so the general replace behind assign() (overlap checks,
// a library call per text) is not needed.
inline void AssignText(std::string& field, const char* text, uint32_t length)
{
    field.resize(length);
    CopyBlock(field.data(), text, length);
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
            // Group headers and separators have no bytes: left out, they split no run.
            if (!property->IsSerialized(flags) || dynamic_cast<const RTTIPropertyGroup*>(property) != nullptr)
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
    uint32_t texts = 0;
    for (const Step& step : m_steps)
    {
        const RTTIProperty* const property = m_properties[step.first];
        if (step.fixedBytes != 0)
            m_checks.push_back(Check{Check::SKIP, step.fixedBytes, nullptr});
        // Both access styles of these kinds check their form with the kind's own Skip.
        else if (dynamic_cast<const RTTITypedProperty<std::string>*>(property) != nullptr)
            m_checks.push_back(Check{Check::TEXT, 0, nullptr});
        else if (dynamic_cast<const RTTITypedProperty<NameString>*>(property) != nullptr)
            m_checks.push_back(Check{Check::NAME_STRING, 0, nullptr});
        else if (const uint32_t elementSize = property->GetFixedElementSize(); elementSize != 0)
            m_checks.push_back(Check{Check::ARRAY, elementSize, property});
        else
            m_checks.push_back(Check{Check::CALL, 0, property});
        const Check::Kind kind = m_checks.back().kind;
        m_textSlots.push_back(kind == Check::TEXT || kind == Check::NAME_STRING ? texts++ : kNoTextSlot);
    }
    m_textCount = texts;
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
    for (size_t s = 0; s < m_steps.size(); ++s)
    {
        const Step& step = m_steps[s];
        made->stepFirstMove.push_back(uint32_t(made->moves.size()));
        made->stepWrites.push_back(Op{Op::CALL, 0, 0, kNoTextSlot, -1, 0, m_properties[step.first]});
        if (step.fixedBytes == 0)
        {
            const RTTIProperty* const property = m_properties[step.first];
            ptrdiff_t offset = -1;
            const RTTIFieldForm form = property->GetDirectField(object, offset);
            if (form == RTTI_FIELD_STRING && offset >= 0)
            {
                made->ops.push_back(Op{Op::STRING, 0, 0, m_textSlots[s], offset, 0, property});
                made->stepWrites.back() = made->ops.back();
            }
            else if (form == RTTI_FIELD_NAME_STRING && offset >= 0)
            {
                made->ops.push_back(Op{Op::NAME_STRING, 0, 0, m_textSlots[s], offset, 0, property});
                made->stepWrites.back() = made->ops.back();
            }
            else if (m_checks[s].kind == Check::TEXT && property->HasRecordTextSetter())
            {
                made->ops.push_back(Op{Op::TEXT_SETTER, 0, 0, m_textSlots[s], -1, 0, property});
                made->ops.back().read.text = property->GetRecordReaders().text;
                made->readCallsNothing = false;
            }
            else if (m_checks[s].kind == Check::NAME_STRING && property->GetRecordReaders().name != nullptr)
            {
                made->ops.push_back(Op{Op::NAME_SETTER, 0, 0, m_textSlots[s], -1, 0, property});
                made->ops.back().read.name = property->GetRecordReaders().name;
                made->readCallsNothing = false;
            }
            else if (m_checks[s].kind == Check::ARRAY)
                made->ops.push_back(Op{Op::ARRAY, m_checks[s].bytes, 0, kNoTextSlot, -1, 0, property});
            else
            {
                made->ops.push_back(Op{Op::CALL, 0, 0, kNoTextSlot, -1, 0, property});
                made->readCallsNothing = false;
                made->readsMeasuredBytesOnly = false;
            }
            continue;
        }
        const size_t runFirstOp = made->ops.size();
        for (uint32_t i = step.first; i < step.first + step.count; ++i)
        {
            const RTTIProperty* const property = m_properties[i];
            ptrdiff_t offset = -1;
            const RTTIFieldForm form = property->GetDirectField(object, offset);
            const bool raw = form == RTTI_FIELD_RAW && offset >= 0;
            const bool plainBool = form == RTTI_FIELD_BOOL && offset >= 0 && m_sizes[i] == 1;
            // The write side copies raw fields as blocks and writes bools as 0 or 1.
            Move* const lastMove = made->moves.size() > made->stepFirstMove.back() ? &made->moves.back() : nullptr;
            if (raw && lastMove != nullptr && lastMove->fieldOffset >= 0 && !lastMove->isBool &&
                lastMove->fieldOffset + ptrdiff_t(lastMove->bytes) == offset)
                lastMove->bytes += m_sizes[i];
            else
                made->moves.push_back(Move{raw || plainBool ? offset : -1, m_sizes[i], i, plainBool});
            // The read side copies bools with their neighbours and then makes them 0 or 1.
            Op* const lastOp = made->ops.size() > runFirstOp ? &made->ops.back() : nullptr;
            if ((raw || plainBool) && lastOp != nullptr && lastOp->kind == Op::COPY &&
                lastOp->fieldOffset + ptrdiff_t(lastOp->bytes) == offset && (!plainBool || lastOp->bytes < 64))
            {
                if (plainBool)
                    lastOp->boolBytes |= uint64_t(1) << lastOp->bytes;
                lastOp->bytes += m_sizes[i];
            }
            else if (raw || plainBool)
                made->ops.push_back(Op{Op::COPY, m_sizes[i], 0, kNoTextSlot, offset, plainBool ? 1u : 0u, property});
            else
            {
                made->ops.push_back(Op{Op::FIXED_CALL, m_sizes[i], 0, kNoTextSlot, -1, 0, property});
                made->ops.back().read.fixed = property->GetRecordReaders().fixed;
                made->readCallsNothing = false;
            }
        }
        made->ops[runFirstOp].runBytes = step.fixedBytes;
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
            if (moves != nullptr && moves->stepWrites[s].kind != Op::CALL)
                WriteText(out, base, moves->stepWrites[s]);
            else
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
            if (move.isBool)
                *at = *reinterpret_cast<const bool*>(base + move.fieldOffset) ? 1 : 0;
            else if (move.fieldOffset >= 0)
                CopyBlock(reinterpret_cast<char*>(at), base + move.fieldOffset, move.bytes);
            else
                m_properties[move.property]->WriteFixed(at, object, false);
            at += move.bytes;
        }
    }
}

void RTTIRecordPlan::WriteText(RecordOutput& out, const char* base, const Op& write)
{
    // The same reservations as the property's own writes, so an output that overflows does so
    // after the same bytes.
    if (write.kind == Op::STRING)
    {
        const std::string& text = *reinterpret_cast<const std::string*>(base + write.fieldOffset);
        if (uint8_t* const at = out.Reserve(text.size() + 1))
            CopyBlock(reinterpret_cast<char*>(at), text.c_str(), text.size() + 1);
        return;
    }
    const NameString& name = *reinterpret_cast<const NameString*>(base + write.fieldOffset);
    uint8_t* const flag = out.Reserve(1);
    if (flag != nullptr)
        *flag = name.IsEmpty() ? 0 : 1;
    if (name.IsEmpty())
        return;
    const uint32_t length = name.Length() + 1;
    if (uint8_t* const at = out.Reserve(length))
        CopyBlock(reinterpret_cast<char*>(at), name.CStr(), length);
}

bool RTTIRecordPlan::Validate(RecordInput& in, uint32_t flags, RecordTextLengths* found) const
{
    // The walk keeps its own cursor (a register, not the input's field) and hands the input only to
    // the checks that are calls.
    const uint8_t* const start = in.Cursor();
    const uint8_t* at = start;
    const uint8_t* const end = at + in.Remaining();
    // A chain of tests, as in Read.
    for (const Check& check : m_checks)
    {
        if (check.kind == Check::SKIP)
        {
            if (size_t(end - at) < check.bytes)
                return false;
            at += check.bytes;
        }
        else if (check.kind == Check::TEXT)
        {
            const size_t left = size_t(end - at);
            const size_t length = RecordInput::FindZero(at, left);
            if (length == left)
                return false;
            at += length + 1;
            if (found != nullptr)
                found->Add(length);
        }
        else if (check.kind == Check::NAME_STRING)
        {
            if (at == end)
                return false;
            const uint8_t present = *at++;
            size_t length = RecordTextLengths::kAbsentName;
            if (present != 0)
            {
                const size_t left = size_t(end - at);
                length = RecordInput::FindZero(at, left);
                if (length == left)
                    return false;
                at += length + 1;
            }
            if (found != nullptr)
                found->Add(length);
        }
        else if (check.kind == Check::ARRAY)
        {
            // The checks of rtti::ReadElementCount, with its message.
            if (size_t(end - at) < 4)
                return false;
            uint32_t count;
            std::memcpy(&count, at, 4);
            at += 4;
            const size_t left = size_t(end - at);
            if (uint64_t(count) * check.bytes > left)
            {
                rtti::ReportElementCountTooLarge(check.property->GetName().c_str(), count, left);
                return false;
            }
            at += size_t(count) * check.bytes;
        }
        else
        {
            in.Skip(size_t(at - in.Cursor()));
            if (!check.property->Validate(in, flags))
                return false;
            at = in.Cursor();
        }
    }
    in.Skip(size_t(at - in.Cursor()));
    if (found != nullptr)
        found->payloadSize = size_t(at - start);
    return true;
}

bool RTTIRecordPlan::ReadText(RecordInput& in, RTTIPolyBaseClass* object, const Op& op)
{
    char* const base = reinterpret_cast<char*>(object);
    if (op.kind == Op::STRING)
        return RTTIValueTraits<std::string>::Read(in, *reinterpret_cast<std::string*>(base + op.fieldOffset));
    if (op.kind == Op::NAME_STRING)
        return RTTIValueTraits<NameString>::Read(in, *reinterpret_cast<NameString*>(base + op.fieldOffset));
    NameString name;
    if (!RTTIValueTraits<NameString>::Read(in, name))
        return false;
    op.read.name(*op.property, object, name);
    return true;
}

bool RTTIRecordPlan::Read(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags, const RecordTextLengths* found) const
{
    const Moves& moves = GetMoves(object);
    // Validation of these very bytes found every text's length and the payload's size: with that
    // size there, no value of a walk that makes no reads of its own can pass the end.
    if (moves.readsMeasuredBytesOnly && found != nullptr && found->count == m_textCount &&
        found->payloadSize <= in.Remaining())
        return ReadOps<false>(moves, in, object, flags, found);
    return ReadOps<true>(moves, in, object, flags, found);
}

template <bool TChecked>
bool RTTIRecordPlan::ReadOps(const Moves& moves, RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags,
                             const RecordTextLengths* found)
{
    char* const base = reinterpret_cast<char*>(object);
    // As in Validate, the walk keeps its own cursor and syncs the input around calls.
    const uint8_t* at = in.Cursor();
    const uint8_t* const end = at + in.Remaining();
    const uint32_t texts = found != nullptr ? found->count : 0;
    // Tests in a chain rather than a switch: the kinds come in the same order record after record,
    // which conditional branches predict far better than one indirect jump.
    for (const Op& op : moves.ops)
    {
        if (TChecked && op.runBytes != 0 && size_t(end - at) < op.runBytes)
            return false;
        if (op.kind == Op::COPY)
        {
            CopyBlock(base + op.fieldOffset, reinterpret_cast<const char*>(at), op.bytes);
            // From the record, not the copy: a byte loaded from a wide store just made stalls.
            for (uint64_t bools = op.boolBytes; bools != 0; bools &= bools - 1)
            {
                const int position = __builtin_ctzll(bools);
                base[op.fieldOffset + position] = at[position] != 0 ? 1 : 0;
            }
            at += op.bytes;
        }
        else if (op.kind == Op::FIXED_CALL)
        {
            op.read.fixed(*op.property, at, object);
            at += op.bytes;
        }
        else if (op.kind == Op::ARRAY)
        {
            // Validation checked the count against the bytes after it.
            if (TChecked && size_t(end - at) < 4)
                return false;
            uint32_t count;
            std::memcpy(&count, at, 4);
            if (TChecked && uint64_t(count) * op.bytes > size_t(end - at) - 4)
            {
                rtti::ReportElementCountTooLarge(op.property->GetName().c_str(), count, size_t(end - at) - 4);
                return false;
            }
            op.property->ReadFixedElements(at + 4, count, object);
            at += 4 + size_t(count) * op.bytes;
        }
        else if (op.kind == Op::STRING && op.textSlot < texts)
        {
            // Validation found the length: the text and its 0 are there.
            const uint32_t length = found->lengths[op.textSlot];
            if (TChecked && size_t(end - at) <= length)
                return false;
            AssignText(*reinterpret_cast<std::string*>(base + op.fieldOffset), reinterpret_cast<const char*>(at), length);
            at += size_t(length) + 1;
        }
        else if (op.kind == Op::NAME_STRING && op.textSlot < texts)
        {
            const uint32_t length = found->lengths[op.textSlot];
            NameString& field = *reinterpret_cast<NameString*>(base + op.fieldOffset);
            if (length == RecordTextLengths::kAbsentName)
            {
                if (TChecked && at == end)
                    return false;
                ++at;
                field = NameString();
                continue;
            }
            if (TChecked && size_t(end - at) < size_t(length) + 2)
                return false;
            RTTIAssignNameText(field, reinterpret_cast<const char*>(at + 1), length);
            at += size_t(length) + 2;
        }
        else if (op.kind == Op::TEXT_SETTER && op.textSlot < texts)
        {
            const uint32_t length = found->lengths[op.textSlot];
            if (TChecked && size_t(end - at) <= length)
                return false;
            op.read.text(*op.property, object, reinterpret_cast<const char*>(at));
            at += size_t(length) + 1;
        }
        else if (op.kind == Op::NAME_SETTER && op.textSlot < texts)
        {
            // As its Deserialize: the name read whole, then set.
            const uint32_t length = found->lengths[op.textSlot];
            NameString name;
            if (length == RecordTextLengths::kAbsentName)
            {
                if (TChecked && at == end)
                    return false;
                ++at;
            }
            else
            {
                if (TChecked && size_t(end - at) < size_t(length) + 2)
                    return false;
                RTTIAssignNameText(name, reinterpret_cast<const char*>(at + 1), length);
                at += size_t(length) + 2;
            }
            op.read.name(*op.property, object, name);
        }
        else
        {
            in.Skip(size_t(at - in.Cursor()));
            const bool read = op.kind == Op::STRING || op.kind == Op::NAME_STRING || op.kind == Op::NAME_SETTER
                                  ? ReadText(in, object, op)
                                  : op.property->Deserialize(in, object, flags);
            if (!read)
                return false;
            at = in.Cursor();
        }
    }
    in.Skip(size_t(at - in.Cursor()));
    return true;
}
