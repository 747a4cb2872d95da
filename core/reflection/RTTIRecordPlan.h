// The walk of a record's payload for one class and one set of flags, made once from the class's
// table: its serialized properties in order, with consecutive fixed-size ones grouped into runs that
// are bounds-checked once and moved without a check per value. Within a run, neighbouring plain
// fields whose memory holds their stored bytes are copied as one block; bools, strings and names held
// in plain fields are read straight into them; texts behind a text setter are handed to it in place;
// only the rest calls its property, through the calls compiled for its kind (RTTIRecordReaders)
// rather than its virtual ones. Group headers, which have no bytes, are left out. Where the fields lie
// is learnt from the first object the plan meets (it is the same for every object of the class).
// A read after a validation that found every text and the payload's size checks that size once and
// moves every value without a check of its own.
// Built under a lock on first use; read-only afterwards, so any thread may walk it.
#pragma once

#include "core/reflection/RTTIProperty.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class RTTIPolyBaseClass;
class RTTIPropertiesBase;
class RecordInput;
class RecordOutput;
struct RecordTextLengths;

// One class's serialized properties for one set of flags, as runs and single properties.
class RTTIRecordPlan
{
public:
    RTTIRecordPlan(const RTTIPropertiesBase& table, uint32_t flags);
    ~RTTIRecordPlan();
    RTTIRecordPlan(const RTTIRecordPlan&) = delete;
    RTTIRecordPlan& operator=(const RTTIRecordPlan&) = delete;

    void Write(RecordOutput& out, const RTTIPolyBaseClass* object, uint32_t flags) const;
    // Checks that `in` holds a whole payload, storing nothing in the object (it needs none); the
    // lengths of its texts and the payload's size go to `found` when given.
    bool Validate(RecordInput& in, uint32_t flags, RecordTextLengths* found = nullptr) const;
    // Reads a payload that Validate accepted; `found` is what that validation found, from the same
    // position of the same bytes, or null.
    bool Read(RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags, const RecordTextLengths* found = nullptr) const;
    // True when reading into objects of this class runs no property code (no setter, no object or
    // reference kind): such a read can queue no entity reference.
    bool ReadCallsNothing(const RTTIPolyBaseClass* object) const { return GetMoves(object).readCallsNothing; }

private:
    struct Step
    {
        uint32_t first; // index into m_properties
        uint32_t count; // properties in the step (1 for a variable-size one)
        uint32_t fixedBytes; // bytes of a run; 0 for a variable-size property
    };
    // A piece of a run: `bytes` copied whole between the record and the object at `fieldOffset`,
    // a bool in a plain field at `fieldOffset` (`isBool`), or (fieldOffset < 0) one property moved
    // by its own calls.
    struct Move
    {
        ptrdiff_t fieldOffset;
        uint32_t bytes;
        uint32_t property;
        bool isBool;
    };
    // One action of the read walk. An action that begins a run first takes the run's `runBytes`
    // (checked once); the fixed-size actions after it move values out of them without a check.
    struct Op
    {
        enum Kind : uint8_t
        {
            COPY,        // `bytes` from the run into the object at `fieldOffset`; then each byte of the
                         // block flagged in `boolBytes` (bools copied with it) becomes 0 or 1
            FIXED_CALL,  // `bytes` from the run through the property's compiled fixed read
            STRING,      // a 0-terminated text into the std::string at `fieldOffset`
            NAME_STRING, // a name into the NameString at `fieldOffset`
            TEXT_SETTER, // a 0-terminated text handed in place to the property's text setter
            NAME_SETTER, // a name handed to the property's compiled name setter
            ARRAY,       // a count, then that many elements of `bytes` each, through ReadFixedElements
            CALL,        // a variable-size value through the property
        };
        Kind kind;
        uint32_t bytes;
        uint32_t runBytes;
        uint32_t textSlot; // STRING, NAME_STRING, TEXT_SETTER, NAME_SETTER: index among RecordTextLengths
        ptrdiff_t fieldOffset;
        uint64_t boolBytes;
        const RTTIProperty* property;
        // FIXED_CALL, TEXT_SETTER, NAME_SETTER: the property's compiled read of that kind.
        union
        {
            RTTIRecordReaders::Fixed fixed;
            RTTIRecordReaders::Text text;
            RTTIRecordReaders::Name name;
        } read{nullptr};
    };
    // What the first object taught: the moves of every run, in order (stepFirstMove[i] indexes the
    // first move of the i-th step), and the read walk.
    struct Moves
    {
        std::vector<Move> moves;
        std::vector<uint32_t> stepFirstMove;
        std::vector<Op> ops;
        // Per step: a text or name in a plain field that the write copies itself (kind STRING or
        // NAME_STRING, at fieldOffset), or CALL for everything else.
        std::vector<Op> stepWrites;
        // No op runs property code, so the read can queue no entity reference.
        bool readCallsNothing = true;
        // No op is a CALL: every byte the read takes is one that validation measured.
        bool readsMeasuredBytesOnly = true;
    };

    const Moves& GetMoves(const RTTIPolyBaseClass* object) const
    {
        if (const Moves* moves = m_moves.load(std::memory_order_acquire))
            return *moves;
        return MakeMoves(object);
    }
    const Moves& MakeMoves(const RTTIPolyBaseClass* object) const;
    // A text or name written from its field, as its property's Serialize would.
    static void WriteText(RecordOutput& out, const char* base, const Op& write);
    // A STRING, NAME_STRING or NAME_SETTER action whose length validation did not keep.
    static bool ReadText(RecordInput& in, RTTIPolyBaseClass* object, const Op& op);
    // The read walk; without TChecked every byte it moves is known to be there.
    template <bool TChecked>
    static bool ReadOps(const Moves& moves, RecordInput& in, RTTIPolyBaseClass* object, uint32_t flags,
                        const RecordTextLengths* found);

    // One check of the validation walk, which needs no object: a run's bytes, a text, a name, an
    // array of fixed-size elements, or the property's own check.
    struct Check
    {
        enum Kind : uint8_t
        {
            SKIP,
            TEXT,
            NAME_STRING,
            ARRAY, // a count, then that many elements of `bytes` each
            CALL,
        };
        Kind kind;
        uint32_t bytes;
        const RTTIProperty* property;
    };

    std::vector<const RTTIProperty*> m_properties;
    std::vector<uint32_t> m_sizes; // fixed size of each property, 0 when variable
    std::vector<Step> m_steps;
    std::vector<Check> m_checks;
    std::vector<uint32_t> m_textSlots; // per step: its index among the texts, or kNoTextSlot
    uint32_t m_textCount = 0;
    static constexpr uint32_t kNoTextSlot = 0xFFFFFFFFu;
    mutable std::atomic<const Moves*> m_moves{nullptr};
};
