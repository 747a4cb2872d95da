// The entity manager's name and GUID indexes. Main thread only.
//
// Lookups go through a flat open-addressed table of runs: each slot holds one key's hash and the
// oldest live entity with that key; younger entities with an equal key follow in an overflow list,
// in the order they entered. Adding or removing an entity costs the same whatever the size of the
// scene (sorted arrays moved half their entries per change, which made building and tearing down a
// scene quadratic), and a probe reads one 16-byte slot: keys are compared only when the hashes
// agree, through the run's first entity. The sorted view that some callers walk (keys in order,
// equal keys in the order they entered) is built only when asked for after a change.
//
// A scene load holds its entries back (Hold): each waits with its hash, and all enter together with
// the slot of each one a few entries on asked for meanwhile, so that the cache misses of thousands of
// inserts overlap instead of following one another. Whatever reads or changes the table first lets
// the held entries in, in the order they came, so nothing can see the difference.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"

#include <cstdint>
#include <vector>

class Entity;

// Byte order of two names with ASCII letters folded to lower case.
int CompareEntityNamesNoCase(const char* a, const char* b);

// The table both indexes share; the key of an entity is read through the index's key functions.
class EntityRunTable
{
public:
    // The key type's functions: its hash, whether an entity's current key equals it, the order of
    // two entities' keys for the sorted view.
    struct KeyFunctions
    {
        bool (*equals)(const Entity* entity, const void* key);
        bool (*less)(const Entity* a, const Entity* b);
    };

    explicit EntityRunTable(const KeyFunctions& functions) : m_functions(functions) {}

    void Add(Entity* entity, uint32_t hash, const void* key);
    // Takes the entity out of the run of its key's hash (nothing when it is not there).
    void Remove(const Entity* entity, uint32_t hash);
    // The oldest entity with an equal key.
    Entity* Find(uint32_t hash, const void* key) const;
    int32_t Count() const { return m_count + int32_t(m_held.size()); }
    void Clear();
    const Dynarray<Entity*>& Sorted() const;
    // While on, added entries wait; turning it off lets them in.
    void Hold(bool hold);

private:
    struct Slot
    {
        Entity* first = nullptr; // null: the slot is free
        uint32_t hash = 0;
        uint32_t overflow = 0; // 1-based index into m_overflow; 0 when the run has one entity
    };

    struct Held
    {
        Entity* entity;
        uint32_t hash;
    };
    // How many held entries ahead of the one entering its slot is asked for.
    static constexpr size_t kHeldPrefetchDistance = 24;

    uint32_t Mask() const { return uint32_t(m_slots.size()) - 1; }
    // Puts the entity in its run: `matches` tells whether a run's first entity has its key.
    template <typename TMatches>
    void Place(Entity* entity, uint32_t hash, TMatches matches);
    // Held entries enter the table. Const for the reading calls: the entries the table holds stay
    // the same, only where they wait changes.
    void LetHeldIn() const;
    void Grow();
    void EraseSlot(uint32_t at);
    uint32_t TakeOverflowList();

    KeyFunctions m_functions;
    std::vector<Slot> m_slots;
    uint32_t m_usedSlots = 0;
    int32_t m_count = 0;
    std::vector<std::vector<Entity*>> m_overflow;
    std::vector<uint32_t> m_freeOverflow;
    mutable Dynarray<Entity*> m_sorted;
    mutable bool m_sortedValid = true;
    std::vector<Held> m_held;
    bool m_holding = false;
};

// Names, compared ignoring ASCII case.
class EntityNameIndex
{
public:
    EntityNameIndex();
    void Add(Entity* entity, const char* name) { m_table.Add(entity, Hash(name), name); }
    void Remove(const Entity* entity, const char* name) { m_table.Remove(entity, Hash(name)); }
    // The oldest entry among the equal names.
    Entity* Find(const char* name) const { return m_table.Find(Hash(name), name); }
    int32_t Count() const { return m_table.Count(); }
    void Clear() { m_table.Clear(); }
    // Every entry, names in order and equal names oldest first.
    const Dynarray<Entity*>& Sorted() const { return m_table.Sorted(); }
    void Hold(bool hold) { m_table.Hold(hold); }

    static uint32_t Hash(const char* name);

private:
    EntityRunTable m_table;
};

// GUIDs, compared byte for byte.
class EntityGUIDIndex
{
public:
    EntityGUIDIndex();
    void Add(Entity* entity, const SimpleGUID& guid) { m_table.Add(entity, Hash(guid), &guid); }
    void Remove(const Entity* entity, const SimpleGUID& guid) { m_table.Remove(entity, Hash(guid)); }
    Entity* Find(const SimpleGUID& guid) const { return m_table.Find(Hash(guid), &guid); }
    int32_t Count() const { return m_table.Count(); }
    void Clear() { m_table.Clear(); }
    // Every entry, GUIDs in order and equal GUIDs oldest first.
    const Dynarray<Entity*>& Sorted() const { return m_table.Sorted(); }
    void Hold(bool hold) { m_table.Hold(hold); }

    static uint32_t Hash(const SimpleGUID& guid);

private:
    EntityRunTable m_table;
};
