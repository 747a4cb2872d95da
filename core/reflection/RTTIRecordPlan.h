// The walk of a record's payload for one class and one set of flags, made once from the class's
// table: its serialized properties in order, with consecutive fixed-size ones grouped into runs that
// are bounds-checked once and moved without a check per value. Within a run, neighbouring plain
// fields whose memory holds their stored bytes are copied as one block; where they lie is learnt
// from the first object the plan meets (it is the same for every object of the class). Built under
// a lock on first use; read-only afterwards, so any thread may walk it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class RTTIPolyBaseClass;
class RTTIProperty;
class RTTIPropertiesBase;
class RecordInput;
class RecordOutput;

// One class's serialized properties for one set of flags, as runs and single properties.
class RTTIRecordPlan
{
public:
    RTTIRecordPlan(const RTTIPropertiesBase& table, uint32_t flags);
    ~RTTIRecordPlan();
    RTTIRecordPlan(const RTTIRecordPlan&) = delete;
    RTTIRecordPlan& operator=(const RTTIRecordPlan&) = delete;

    void Write(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const;
    // Checks that `in` holds a whole payload, storing nothing.
    bool Validate(RecordInput& in, uint32_t flags) const;
    // Reads a payload that Validate accepted.
    bool Read(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags) const;

private:
    struct Step
    {
        uint32_t first; // index into m_properties
        uint32_t count; // properties in the step (1 for a variable-size one)
        uint32_t fixedBytes; // bytes of a run; 0 for a variable-size property
    };
    // A piece of a run: `bytes` copied whole between the record and the object at `fieldOffset`,
    // or (fieldOffset < 0) one property moved by its own calls.
    struct Move
    {
        ptrdiff_t fieldOffset;
        uint32_t bytes;
        uint32_t property;
    };
    // The moves of every run, in order; runs[i] indexes the first move of the i-th step.
    struct Moves
    {
        std::vector<Move> moves;
        std::vector<uint32_t> stepFirstMove;
    };

    const Moves& GetMoves(const RTTIPolyBaseClass* object) const
    {
        if (const Moves* moves = m_moves.load(std::memory_order_acquire))
            return *moves;
        return MakeMoves(object);
    }
    const Moves& MakeMoves(const RTTIPolyBaseClass* object) const;

    std::vector<const RTTIProperty*> m_properties;
    std::vector<uint32_t> m_sizes; // fixed size of each property, 0 when variable
    std::vector<Step> m_steps;
    mutable std::atomic<const Moves*> m_moves{nullptr};
};
