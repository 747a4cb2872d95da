// BehaviourPropertyStore: the named text values that behaviour tree speakers publish and listeners
// read, one store per scope of one agent. Main thread only.
//
// Pairs are kept sorted by key without regard to ASCII case, so a key is found whatever its case. An
// empty value is a null value: reading it reports an error and reads as false, 0 or 0.0.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/strings/NameString.h"

#include <cstdint>

// Sorted key/value texts of one scope.
class BehaviourPropertyStore
{
public:
    struct Pair
    {
        NameString key;
        NameString value;
    };

    // The pair whose key equals `key` ignoring case, or -1.
    int32_t Find(const char* key) const;
    bool Has(const char* key) const { return Find(key) >= 0; }
    // Replaces the value of the pair whose key equals `key` ignoring case, else inserts a pair in
    // key order. Keys differing only in case name one value: a second pair under such a key would
    // never be found, since Find stops at the first.
    void Set(const NameString& key, const NameString& value);
    void Clear() { m_pairs.Clear(); }
    int32_t Count() const { return m_pairs.Count(); }
    const Pair& GetPair(int32_t index) const { return m_pairs[index]; }

    // Typed reads of the pair at `index` (from Find): true only for "1" and "true"; decimal
    // conversion of the leading number for integers and floats; the text itself.
    bool ReadBool(int32_t index) const;
    int32_t ReadInt(int32_t index) const;
    uint32_t ReadUnsigned(int32_t index) const;
    float ReadFloat(int32_t index) const;
    const NameString& ReadText(int32_t index) const { return m_pairs[index].value; }

private:
    // The value text, or null after reporting a null value.
    const char* ValueOrReport(int32_t index) const;
    // Index of the first pair whose key sorts above `key` (ignoring case).
    int32_t UpperBound(const char* key) const;

    DynarraySafe<Pair> m_pairs;
};
