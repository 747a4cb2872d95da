#include "core/math/RandomGenerator.h"
#include "support/BehaviourTestSupport.h"

#include <random>

namespace
{
// Random trees from a seeded generator: composites, decorators and scripted leaves, some disabled
// and some bound to a scope.
class TreeMaker
{
public:
    explicit TreeMaker(uint32_t seed) : m_random(seed) {}

    std::string Node(int depth)
    {
        static const char* const kComposites[] = {
            "BTTaskSequence", "BTTaskSequence[Force completion=1]", "BTTaskSequence[Full condition check=1]",
            "BTTaskRotateSequence", "BTTaskRotateSequence[SkipFailure=0]", "BTTaskSelector", "BTTaskPrioritySelector",
            "BTTaskRotateSelector", "BTTaskRandomSelector", "BTTaskRandomSelector[Single check in tick=1]"};
        static const char* const kDecorators[] = {
            "BTTaskDummyDecorator", "BTTaskChangeStateDecorator[Execution return state=1]",
            "BTTaskAlwaysTrueActionDecorator", "BTTaskRandomDecorator[Probability=60]",
            "BTTaskChangePropertyDecorator[!off=1]", "BTTaskDummyDecorator[Interrupted=0]"};
        const uint32_t pick = m_random() % 10;
        if (depth >= 3 || pick < 3)
        {
            const std::string name = "L" + std::to_string(m_leaves++);
            return "L(" + name + (m_random() % 6 == 0 ? ";@Disabled=off" : "") + ")";
        }
        if (pick < 5)
            return std::string(kDecorators[m_random() % 6]) + "{" + Node(depth + 1) + "}";
        std::string text = std::string(kComposites[m_random() % 10]) + "{";
        const uint32_t children = 1 + m_random() % 4;
        for (uint32_t i = 0; i < children; ++i)
            text += " " + Node(depth + 1);
        return text + "}";
    }

    // A tick's script: every leaf's result, some conditions, now and then an interrupt.
    std::string Script()
    {
        std::string script = m_random() % 10 == 0 ? "!" : "";
        for (uint32_t i = 0; i < m_leaves; ++i)
        {
            script += " L" + std::to_string(i) + "=" + std::to_string(m_random() % 3);
            if (m_random() % 4 == 0)
                script += " L" + std::to_string(i) + "?1";
        }
        return script;
    }

private:
    std::mt19937 m_random;
    uint32_t m_leaves = 0;
};

size_t Count(const std::string& trace, char mark)
{
    size_t count = 0;
    for (size_t i = 0; i < trace.size(); ++i)
        count += trace[i] == mark && (i + 1 == trace.size() || trace[i + 1] == ' ' || trace[i + 1] == '|') ? 1 : 0;
    return count;
}

TEST(BehaviourTreeScenarioTest, TwoAgentsOnOneRandomTreeNeverShareStateAndEveryStartEnds)
{
    for (uint32_t seed = 1; seed <= 60; ++seed)
    {
        TreeMaker maker(seed);
        const std::string text = maker.Node(0);
        std::unique_ptr<BehaviourTree> tree = MakeTestTree(text);
        ASSERT_NE(tree, nullptr) << text;
        std::string traces[2];
        int32_t results[2] = {0, 0};
        {
            TestAgent first(tree.get());
            TestAgent second(tree.get());
            ASSERT_TRUE(first.IsReady() && second.IsReady()) << text;
            uint32_t generatorState[5] = {seed, seed * 3u, seed * 7u + 1, 0, 0};
            for (int tick = 0; tick < 40; ++tick)
            {
                const std::string script = maker.Script();
                // The second agent lags one tick behind and runs it with the same generator state,
                // so it must answer exactly as the first did.
                TestAgent* agents[2] = {&first, &second};
                for (int a = 0; a < 2; ++a)
                {
                    gRandomGenerators[0].Seed(generatorState);
                    gLeafScript.trace.clear();
                    const int32_t result = agents[a]->Step(script);
                    traces[a] += "|" + gLeafScript.trace;
                    results[a] = result;
                    EXPECT_TRUE(result == BT_SUCCESS || result == BT_FAILURE || result == BT_RUNNING);
                }
                ASSERT_EQ(traces[0], traces[1]) << "seed " << seed << ", tick " << tick << ": " << text;
                ASSERT_EQ(results[0], results[1]);
                std::copy(gRandomGenerators[0].GetState(), gRandomGenerators[0].GetState() + 5, generatorState);
                first.Context().SetInterruptRequested(false);
                second.Context().SetInterruptRequested(false);
            }
            gLeafScript.trace.clear();
            first.Release();
            traces[0] += "|" + gLeafScript.trace;
        }
        // Every leaf that started ended, by itself or through the release.
        EXPECT_EQ(Count(traces[0], '+'), Count(traces[0], '-') + Count(traces[0], '!')) << "seed " << seed << ": " << text;
    }
}
} // namespace
