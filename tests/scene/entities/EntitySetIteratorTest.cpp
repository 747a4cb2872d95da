// Iteration over entity sets: a named set's live members in order, the network of sets around an
// entity against a brute-force union, and deleted members skipped.
#include "scene/entities/EntitySetIterator.h"

#include "scene/entities/EntitySet.h"
#include "support/SceneTestSupport.h"

#include <random>
#include <set>

namespace
{
class EntitySetIteratorTest : public SceneTest
{
protected:
    static std::vector<Entity*> Drain(EntitySetIterator& iterator)
    {
        std::vector<Entity*> out;
        while (Entity* entity = iterator.GetNext())
            out.push_back(entity);
        return out;
    }
};
} // namespace

TEST_F(EntitySetIteratorTest, ANamedSetGivesItsLiveMembersInOrder)
{
    Entity* a = Create();
    Entity* b = Create();
    Entity* c = Create();
    c->AddToSet("Guards", true);
    a->AddToSet("guards", false);
    b->AddToSet("GUARDS", false);
    EntitySetIterator iterator;
    iterator.Init("gUaRdS");
    EXPECT_EQ(Drain(iterator), (std::vector<Entity*>{c, a, b}));
    EXPECT_EQ(iterator.GetNext(), nullptr);

    iterator.Init("Guards");
    a->DeleteMe();
    EXPECT_EQ(Drain(iterator), (std::vector<Entity*>{c, b}));
    iterator.Init("Nobody");
    EXPECT_EQ(iterator.GetNext(), nullptr);
    iterator.Init(nullptr);
    EXPECT_EQ(iterator.GetNext(), nullptr);
    EXPECT_EQ(EntitySetIterator().GetNext(), nullptr);
}

TEST_F(EntitySetIteratorTest, TheNetworkOfAnEntityMatchesTheUnionOfItsSets)
{
    std::mt19937 random(9);
    std::vector<Entity*> entities;
    for (int i = 0; i < 80; ++i)
        entities.push_back(Create());
    const char* names[] = {"A", "B", "C", "D", "E", "F"};
    for (Entity* entity : entities)
        for (const char* name : names)
            if (random() % 5 == 0)
                entity->AddToSet(name, true);
    EntitySetIterator iterator;
    for (Entity* entity : entities)
    {
        std::set<Entity*> expected;
        if (entity->GetSets() != nullptr)
            for (const EntitySet* set : *entity->GetSets())
                for (const SafePointer<Entity>& member : set->GetEntities())
                    if (member && member.Get() != entity)
                        expected.insert(member.Get());
        iterator.InitFromNetwork(entity);
        const std::vector<Entity*> got = Drain(iterator);
        EXPECT_EQ(std::set<Entity*>(got.begin(), got.end()), expected);
        EXPECT_EQ(got.size(), expected.size()) << "each entity once";
    }
    Entity* loner = Create();
    iterator.InitFromNetwork(loner);
    EXPECT_EQ(iterator.GetNext(), nullptr);
    iterator.InitFromNetwork(nullptr);
    EXPECT_EQ(iterator.GetNext(), nullptr);
}
