#include "scene/entities/EntityLookupIndex.h"

#include "scene/entities/Entity.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr uint32_t kFirstSlotCount = 64;

inline unsigned char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : static_cast<unsigned char>(c);
}

bool NameEquals(const Entity* entity, const void* key)
{
    return CompareEntityNamesNoCase(entity->GetName(), static_cast<const char*>(key)) == 0;
}

bool NameLess(const Entity* a, const Entity* b)
{
    return CompareEntityNamesNoCase(a->GetName(), b->GetName()) < 0;
}

bool GUIDEquals(const Entity* entity, const void* key)
{
    return entity->GetGUID() == *static_cast<const SimpleGUID*>(key);
}

bool GUIDLess(const Entity* a, const Entity* b)
{
    return SimpleGUID::Compare(a->GetGUID(), b->GetGUID()) < 0;
}
} // namespace

int CompareEntityNamesNoCase(const char* a, const char* b)
{
    for (;; ++a, ++b)
    {
        const int ca = FoldAscii(*a);
        const int cb = FoldAscii(*b);
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

void EntityRunTable::Add(Entity* entity, uint32_t hash, const void* key)
{
    if (m_holding)
    {
        m_held.push_back(Held{entity, hash});
        return;
    }
    Place(entity, hash, [&](const Entity* first) { return m_functions.equals(first, key); });
}

template <typename TMatches>
void EntityRunTable::Place(Entity* entity, uint32_t hash, TMatches matches)
{
    if ((m_usedSlots + 1) * 2 > m_slots.size())
        Grow();
    m_sortedValid = false;
    ++m_count;
    uint32_t at = hash & Mask();
    for (; m_slots[at].first != nullptr; at = (at + 1) & Mask())
    {
        Slot& slot = m_slots[at];
        if (slot.hash != hash || !matches(slot.first))
            continue;
        if (slot.overflow == 0)
            slot.overflow = TakeOverflowList();
        m_overflow[slot.overflow - 1].push_back(entity);
        return;
    }
    m_slots[at] = Slot{entity, hash, 0};
    ++m_usedSlots;
}

void EntityRunTable::Hold(bool hold)
{
    m_holding = hold;
    if (!hold)
        LetHeldIn();
}

void EntityRunTable::LetHeldIn() const
{
    if (m_held.empty())
        return;
    // The table is never made const: only this call's callers are.
    EntityRunTable& self = const_cast<EntityRunTable&>(*this);
    const std::vector<Held>& held = m_held;
    for (size_t i = 0; i < held.size(); ++i)
    {
        if (i + kHeldPrefetchDistance < held.size() && !m_slots.empty())
            __builtin_prefetch(&m_slots[held[i + kHeldPrefetchDistance].hash & Mask()]);
        // Keys are compared only where the hashes agree: through the order, which the key of an
        // entity never has to be fetched for otherwise.
        const Entity* const entity = held[i].entity;
        self.Place(held[i].entity, held[i].hash, [&](const Entity* first) {
            return !m_functions.less(first, entity) && !m_functions.less(entity, first);
        });
    }
    self.m_held.clear();
}

void EntityRunTable::Remove(const Entity* entity, uint32_t hash)
{
    LetHeldIn();
    if (m_slots.empty())
        return;
    for (uint32_t at = hash & Mask(); m_slots[at].first != nullptr; at = (at + 1) & Mask())
    {
        Slot& slot = m_slots[at];
        if (slot.hash != hash)
            continue;
        std::vector<Entity*>* const overflow = slot.overflow != 0 ? &m_overflow[slot.overflow - 1] : nullptr;
        if (slot.first == entity)
        {
            if (overflow == nullptr)
                EraseSlot(at);
            else
            {
                // The next oldest becomes the run's first.
                slot.first = overflow->front();
                overflow->erase(overflow->begin());
            }
        }
        else
        {
            // A hash shared by another key's run does not hold this entity: probe on.
            if (overflow == nullptr)
                continue;
            const auto found = std::find(overflow->begin(), overflow->end(), entity);
            if (found == overflow->end())
                continue;
            overflow->erase(found);
        }
        if (overflow != nullptr && overflow->empty())
        {
            m_freeOverflow.push_back(slot.overflow);
            slot.overflow = 0;
        }
        --m_count;
        m_sortedValid = false;
        return;
    }
}

Entity* EntityRunTable::Find(uint32_t hash, const void* key) const
{
    LetHeldIn();
    if (m_slots.empty())
        return nullptr;
    for (uint32_t at = hash & Mask(); m_slots[at].first != nullptr; at = (at + 1) & Mask())
        if (m_slots[at].hash == hash && m_functions.equals(m_slots[at].first, key))
            return m_slots[at].first;
    return nullptr;
}

void EntityRunTable::Clear()
{
    // An empty table has nothing to wipe: a scene load starts with a new scene on an empty one.
    if (m_usedSlots != 0)
        std::fill(m_slots.begin(), m_slots.end(), Slot{});
    m_usedSlots = 0;
    m_count = 0;
    m_held.clear();
    m_overflow.clear();
    m_freeOverflow.clear();
    m_sorted.Clear();
    m_sortedValid = true;
}

void EntityRunTable::Grow()
{
    std::vector<Slot> old(std::max<size_t>(kFirstSlotCount, m_slots.size() * 2));
    old.swap(m_slots);
    for (const Slot& slot : old)
    {
        if (slot.first == nullptr)
            continue;
        uint32_t at = slot.hash & Mask();
        while (m_slots[at].first != nullptr)
            at = (at + 1) & Mask();
        m_slots[at] = slot;
    }
}

void EntityRunTable::EraseSlot(uint32_t at)
{
    // Backward shift: later slots of the probe chain move up, so no tombstones build up.
    uint32_t hole = at;
    for (uint32_t next = (hole + 1) & Mask(); m_slots[next].first != nullptr; next = (next + 1) & Mask())
    {
        const uint32_t home = m_slots[next].hash & Mask();
        // The entry may fill the hole when its home does not lie cyclically in (hole, next].
        const bool homeBetween = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (homeBetween)
            continue;
        m_slots[hole] = m_slots[next];
        hole = next;
    }
    m_slots[hole] = Slot{};
    --m_usedSlots;
}

uint32_t EntityRunTable::TakeOverflowList()
{
    if (!m_freeOverflow.empty())
    {
        const uint32_t index = m_freeOverflow.back();
        m_freeOverflow.pop_back();
        return index;
    }
    m_overflow.emplace_back();
    return uint32_t(m_overflow.size());
}

const Dynarray<Entity*>& EntityRunTable::Sorted() const
{
    LetHeldIn();
    if (m_sortedValid)
        return m_sorted;
    std::vector<const Slot*> runs;
    runs.reserve(m_usedSlots);
    for (const Slot& slot : m_slots)
        if (slot.first != nullptr)
            runs.push_back(&slot);
    std::sort(runs.begin(), runs.end(),
              [this](const Slot* a, const Slot* b) { return m_functions.less(a->first, b->first); });
    m_sorted.Clear();
    for (const Slot* run : runs)
    {
        m_sorted.Add(run->first);
        if (run->overflow != 0)
            for (Entity* entity : m_overflow[run->overflow - 1])
                m_sorted.Add(entity);
    }
    m_sortedValid = true;
    return m_sorted;
}

EntityNameIndex::EntityNameIndex() : m_table({NameEquals, NameLess}) {}

uint32_t EntityNameIndex::Hash(const char* name)
{
    uint32_t hash = 2166136261u;
    for (; *name != 0; ++name)
        hash = (hash ^ FoldAscii(*name)) * 16777619u;
    return hash;
}

EntityGUIDIndex::EntityGUIDIndex() : m_table({GUIDEquals, GUIDLess}) {}

uint32_t EntityGUIDIndex::Hash(const SimpleGUID& guid)
{
    // Generated GUIDs are random in every byte; scene files may carry patterned ones, so all 16
    // bytes are mixed.
    uint64_t low = 0;
    uint64_t high = 0;
    std::memcpy(&low, guid.bytes, 8);
    std::memcpy(&high, guid.bytes + 8, 8);
    uint64_t hash = (low ^ (high * 0x9E3779B97F4A7C15ull)) * 0xBF58476D1CE4E5B9ull;
    hash ^= hash >> 31;
    return uint32_t(hash ^ (hash >> 32));
}
