#include "scene/entities/EntityLookupIndex.h"

#include "support/SceneTestSupport.h"

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace
{
class EntityLookupIndexTest : public SceneTest
{
protected:
    // Table keys are the entities' names; the tests choose the hashes.
    static bool NameEquals(const Entity* entity, const void* key)
    {
        return std::string(entity->GetName()) == static_cast<const char*>(key);
    }
    static bool NameLess(const Entity* a, const Entity* b) { return std::string(a->GetName()) < b->GetName(); }

    std::vector<Entity*> Named(int count)
    {
        std::vector<Entity*> entities;
        for (int i = 0; i < count; ++i)
        {
            entities.push_back(Create());
            entities.back()->SetName(("n" + std::to_string(i)).c_str());
        }
        return entities;
    }
};

TEST_F(EntityLookupIndexTest, ProbeChainsSurviveRemovalsWhateverTheHashes)
{
    struct Case
    {
        const char* what;
        std::function<uint32_t(int)> hash;
    };
    const Case cases[] = {
        {"one hash for all", [](int) { return 7u; }},
        {"homes at the end wrap to the start", [](int i) { return 62u + uint32_t(i % 3); }},
        {"neighbouring homes interleave", [](int i) { return uint32_t(i / 2); }},
        {"spread", [](int i) { return uint32_t(i) * 2654435761u; }},
    };
    // Each also held (as a scene load holds them): the entries enter when the first removal comes,
    // their keys compared as they would have been at once.
    for (int run = 0; run < 8; ++run)
    {
        const Case& c = cases[run / 2];
        const bool held = run % 2 == 1;
        SCOPED_TRACE(std::string(c.what) + (held ? ", held" : ""));
        EntityRunTable table({NameEquals, NameLess});
        const std::vector<Entity*> entities = Named(40);
        table.Hold(held);
        for (int i = 0; i < 40; ++i)
            table.Add(entities[i], c.hash(i), entities[i]->GetName());
        EXPECT_EQ(table.Count(), 40);
        // Every other entry leaves, from the middle of the chains outwards.
        for (int i = 1; i < 40; i += 2)
            table.Remove(entities[i], c.hash(i));
        EXPECT_EQ(table.Count(), 20);
        for (int i = 0; i < 40; ++i)
            EXPECT_EQ(table.Find(c.hash(i), entities[i]->GetName()), i % 2 == 0 ? entities[i] : nullptr) << i;
        // A remove under a hash the entity was not added with finds nothing to take.
        table.Remove(entities[0], c.hash(0) + 1);
        EXPECT_EQ(table.Find(c.hash(0), "n0"), entities[0]);
        for (int i = 0; i < 40; i += 2)
            table.Remove(entities[i], c.hash(i));
        EXPECT_EQ(table.Count(), 0);
        EXPECT_TRUE(table.Sorted().IsEmpty());
        for (Entity* entity : entities)
            entity->DeleteMe();
    }
}

TEST_F(EntityLookupIndexTest, EqualKeysFormRunsOldestFirst)
{
    EntityRunTable table({NameEquals, NameLess});
    std::vector<Entity*> twins;
    for (int i = 0; i < 4; ++i)
    {
        twins.push_back(Create());
        twins.back()->SetName("twin");
        table.Add(twins.back(), 5, "twin");
    }
    Entity* other = Create();
    other->SetName("alpha");
    table.Add(other, 5, "alpha");

    EXPECT_EQ(table.Find(5, "twin"), twins[0]);
    EXPECT_EQ(table.Find(5, "alpha"), other);
    const Dynarray<Entity*>& sorted = table.Sorted();
    ASSERT_EQ(sorted.Count(), 5);
    EXPECT_EQ(sorted[0], other);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(sorted[i + 1], twins[i]);

    // The oldest leaving hands the run to the next oldest; a middle one leaves the order intact.
    table.Remove(twins[0], 5);
    EXPECT_EQ(table.Find(5, "twin"), twins[1]);
    table.Remove(twins[2], 5);
    const Dynarray<Entity*>& after = table.Sorted();
    ASSERT_EQ(after.Count(), 3);
    EXPECT_EQ(after[1], twins[1]);
    EXPECT_EQ(after[2], twins[3]);
    // Another key under the same hash is sought past the run.
    table.Remove(other, 5);
    EXPECT_EQ(table.Find(5, "alpha"), nullptr);
    table.Add(other, 5, "alpha");
    table.Remove(twins[1], 5);
    table.Remove(twins[3], 5);
    EXPECT_EQ(table.Find(5, "twin"), nullptr);
    EXPECT_EQ(table.Find(5, "alpha"), other);
    table.Clear();
    EXPECT_EQ(table.Find(5, "alpha"), nullptr);
}

// The manager's indexes against a model: entries in the order they were made, a lookup giving the
// oldest equal key, the walk sorted by key with equal keys oldest first. Also with the entries held
// back as a scene load holds them, looked at only every few steps so that several wait at once
// (equal names among them) while renames and deaths let them in.
TEST_F(EntityLookupIndexTest, RenamesAndDeathsMatchAModelOfTheIndexes)
{
    const char* const pool[] = {"Tower", "tower", "TOWER", "bunker", "Gate", "gate2", "a", "B", "b", "zeta", "Zeta"};
    constexpr int kPool = int(sizeof(pool) / sizeof(pool[0]));
    auto fold = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = char(c + 32);
        return text;
    };
    struct Entry
    {
        Entity* entity;
        std::string folded;
    };
    for (const bool held : {false, true})
    {
        SCOPED_TRACE(held ? "held" : "at once");
        std::vector<Entry> model; // in the order the names were given
        std::vector<Entity*> live;
        std::mt19937 random(3);
        auto rename = [&](Entity* entity, const char* name) {
            model.erase(std::remove_if(model.begin(), model.end(), [&](const Entry& e) { return e.entity == entity; }),
                        model.end());
            entity->SetName(name);
            if (name[0] != 0)
                model.push_back({entity, fold(name)});
        };
        gEntityManager.HoldIndexEntries(held);
        for (int step = 0; step < 3000; ++step)
        {
            const int action = int(random() % 10);
            if (live.size() < 3 || action == 0 || (held && action == 3))
            {
                live.push_back(Create());
                rename(live.back(), pool[random() % kPool]);
            }
            else if (action == 1)
            {
                const size_t at = random() % live.size();
                model.erase(std::remove_if(model.begin(), model.end(), [&](const Entry& e) { return e.entity == live[at]; }),
                            model.end());
                live[at]->DeleteMe();
                live.erase(live.begin() + long(at));
            }
            else
                rename(live[random() % live.size()], action == 2 ? "" : pool[random() % kPool]);
            if (held && step % 50 == 25)
            {
                gEntityManager.HoldIndexEntries(false);
                gEntityManager.HoldIndexEntries(true);
            }
            if (held && step % 7 != 6)
                continue;

            for (const char* name : pool)
            {
                const auto oldest = std::find_if(model.begin(), model.end(),
                                                 [&](const Entry& e) { return e.folded == fold(name); });
                ASSERT_EQ(gEntityManager.FindEntityByName(name), oldest != model.end() ? oldest->entity : nullptr)
                    << "step " << step << " name " << name;
            }
            if (step % 100 == 6)
            {
                std::vector<Entry> sorted = model;
                std::stable_sort(sorted.begin(), sorted.end(),
                                 [](const Entry& a, const Entry& b) { return a.folded < b.folded; });
                const Dynarray<Entity*>& index = gEntityManager.GetNameIndex();
                // The scene root is named too.
                ASSERT_EQ(index.Count(), int32_t(sorted.size()) + 1);
                int32_t at = 0;
                for (const Entry& entry : sorted)
                {
                    if (index[at] == Root())
                        ++at;
                    ASSERT_EQ(index[at++], entry.entity) << "step " << step;
                }
            }
        }
        gEntityManager.HoldIndexEntries(false);
        for (Entity* entity : live)
            entity->DeleteMe();
    }
}

TEST_F(EntityLookupIndexTest, GUIDIndexFindsTheOldestOfEqualGUIDsAndWalksInGUIDOrder)
{
    SimpleGUID low;
    low.bytes[15] = 1;
    SimpleGUID high;
    high.bytes[15] = 2;
    high.bytes[0] = 9;
    const SimpleGUID guids[] = {high, low, high, low};
    std::vector<Entity*> entities;
    for (const SimpleGUID& guid : guids)
    {
        entities.push_back(Create(nullptr, Matrix::ONE, ENTITYCREATION_NOGUIDGENERATION));
        entities.back()->SetGUID(guid);
    }
    EXPECT_EQ(gEntityManager.FindEntityByGUID(high), entities[0]);
    EXPECT_EQ(gEntityManager.FindEntityByGUID(low), entities[1]);
    const Dynarray<Entity*>& index = gEntityManager.GetGUIDIndex();
    ASSERT_EQ(index.Count(), 4);
    const Entity* expected[] = {entities[1], entities[3], entities[0], entities[2]};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(index[i], expected[i]) << i;
    entities[0]->SetGUID(low);
    EXPECT_EQ(gEntityManager.FindEntityByGUID(high), entities[2]);
    EXPECT_EQ(gEntityManager.GetGUIDIndex()[2], entities[0]);
    // Scene files may carry GUIDs that differ in one byte anywhere: each byte must move the hash, or
    // such a scene would share one probe chain.
    for (int i = 0; i < 16; ++i)
    {
        SimpleGUID one;
        one.bytes[i] = 1;
        EXPECT_NE(EntityGUIDIndex::Hash(one), EntityGUIDIndex::Hash(SimpleGUID())) << "byte " << i;
    }
}
} // namespace
