// The picking half of line of sight: candidates in any order against the nearest hit of a
// brute-force pass, the early exit that never asks entities beyond the nearest hit, the first-hit
// flag and the two excluded entities.
#include "scene/entities/LineOfSightPick.h"

#include "support/BoxPickEntities.h"

#include <algorithm>
#include <random>

namespace
{
struct Candidate
{
    Entity* entity;
    float fraction;
};

using LineOfSightPickTest = BoxPickSceneTest;
} // namespace

TEST_F(LineOfSightPickTest, TheNearestHitWinsAndNothingBeyondItIsAsked)
{
    std::mt19937 random(29);
    std::uniform_real_distribution<float> place(100.0f, 200.0f), size(0.5f, 6.0f);
    std::vector<BoxPickEntity*> entities;
    for (int i = 0; i < 300; ++i)
    {
        entities.push_back(Make(Vector(place(random), place(random) - 150.0f, place(random), 1.0f), size(random)));
        entities.back()->ghost = random() % 4 == 0;
    }
    int hits = 0;
    for (int query = 0; query < 100; ++query)
    {
        const Vector start(place(random), place(random) - 150.0f, place(random), 1.0f);
        const Vector end(place(random), place(random) - 150.0f, place(random), 1.0f);
        std::vector<Candidate> candidates;
        for (BoxPickEntity* entity : entities)
        {
            entity->asks = 0;
            const float entry = Entry(entity, start, end);
            if (entry >= 0.0f)
                candidates.push_back({entity, entry});
        }
        std::shuffle(candidates.begin(), candidates.end(), random);
        const Entity* excludedA = candidates.size() > 2 ? candidates[0].entity : nullptr;
        const Entity* excludedB = candidates.size() > 2 ? candidates[1].entity : nullptr;
        float nearest = 2.0f;
        Entity* expected = nullptr;
        for (const Candidate& candidate : candidates)
            if (candidate.entity != excludedA && candidate.entity != excludedB &&
                !static_cast<BoxPickEntity*>(candidate.entity)->ghost && candidate.fraction < nearest)
            {
                nearest = candidate.fraction;
                expected = candidate.entity;
            }
        LOSResult result;
        const bool noHit = LineOfSightPick::PickNearest(candidates.data(), int32_t(candidates.size()), start, end, 0,
                                                        7, excludedA, excludedB, result);
        EXPECT_EQ(noHit, expected == nullptr) << "query " << query;
        EXPECT_EQ(result.entity, expected) << "query " << query;
        for (const Candidate& candidate : candidates)
        {
            const int asks = static_cast<BoxPickEntity*>(candidate.entity)->asks;
            const bool excluded = candidate.entity == excludedA || candidate.entity == excludedB;
            // Every entry up to the nearest hit is asked once; nothing beyond it, nor the excluded.
            EXPECT_EQ(asks, !excluded && candidate.fraction <= nearest ? 1 : 0) << "query " << query;
        }
        if (expected != nullptr)
        {
            ++hits;
            EXPECT_EQ(result.hit, 1u);
            EXPECT_EQ(static_cast<BoxPickEntity*>(expected)->lastMask, 7u);
        }
    }
    EXPECT_GT(hits, 20);
}

TEST_F(LineOfSightPickTest, TheFirstHitFlagStopsAtTheFirstEntityThatIsHit)
{
    BoxPickEntity* near = Make(Vector(110, 0, 100, 1), 1.0f);
    BoxPickEntity* far = Make(Vector(130, 0, 100, 1), 1.0f);
    BoxPickEntity* ghost = Make(Vector(105, 0, 100, 1), 1.0f);
    ghost->ghost = true;
    const Vector start(100, 0, 100, 1), end(140, 0, 100, 1);
    // Listed with the far box's entry nearer than its real hit, so only the flag stops the walk.
    Candidate candidates[] = {{far, 0.2f}, {near, 0.1f}, {ghost, 0.05f}};
    LOSResult result;
    EXPECT_FALSE(LineOfSightPick::PickNearest(candidates, 3, start, end, PICK_FIRST_HIT, 0, nullptr, nullptr, result));
    EXPECT_EQ(result.entity, near);
    EXPECT_EQ(ghost->asks, 1);
    EXPECT_EQ(far->asks, 0);
    EXPECT_EQ(near->lastFlags, uint32_t(PICK_FIRST_HIT));
    EXPECT_NEAR(result.hitPoint.x, 109.0f, 1e-2f);
    EXPECT_FLOAT_EQ(result.direction.x, 40.0f) << "the direction the hit entity gave";

    LOSResult all;
    EXPECT_FALSE(LineOfSightPick::PickNearest(candidates, 3, start, end, 0, 0, nullptr, nullptr, all));
    EXPECT_EQ(all.entity, near);
    EXPECT_EQ(far->asks, 1) << "its listed entry lay before the nearest hit";
    // Excluding the only entity on the segment leaves nothing hit, and the result untouched.
    Candidate lone[] = {{near, 0.1f}};
    LOSResult none;
    EXPECT_TRUE(LineOfSightPick::PickNearest(lone, 1, start, end, 0, 0, near, nullptr, none));
    EXPECT_TRUE(LineOfSightPick::PickNearest(lone, 1, start, end, 0, 0, nullptr, near, none));
    EXPECT_EQ(none.hit, 0u);
    EXPECT_EQ(none.entity, nullptr);
    // A segment of no length inside a box hits it at its start, at fraction 0.
    const Vector inside(110, 0.5f, 100, 1);
    EXPECT_FALSE(LineOfSightPick::PickNearest(lone, 1, inside, inside, 0, 0, nullptr, nullptr, none));
    EXPECT_EQ(none.entity, near);
    EXPECT_EQ(none.hitPoint.x, 110.0f);
}
