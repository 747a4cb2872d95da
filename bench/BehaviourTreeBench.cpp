// Behaviour trees: 10,000 agents each ticking one 50-node tree once, as one frame would (goal: under
// 5 ms on one core in a Release build). The tree is a selector over seven sequences, each of four
// empty sequences and a dummy decorator over an empty selector, so every tick walks all 50 nodes
// with the condition checks between them and every sequence fails at its last child. Leaves are
// empty composites, which finish at once: actions would measure the log, not the tree.
// Beside it, the reference: the same tree as a flat array walked by one recursive function with a
// switch per node kind and a per-agent state word per node, the least a tree interpreter can do.
// Counters: "ratio" (the reference's time over ours: above 1 means ours is faster), the median
// times of both sides in seconds, and "frame_ms" (ours, one frame of all agents).
#include "PairedRatio.h"

#include "gameplay/behaviour/BehaviourTree.h"
#include "gameplay/behaviour/BehaviourTreeContext.h"
#include "scene/SceneClassRegistration.h"
#include "tools/datakit/BehaviourTreeText.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kAgents = 10000;
constexpr int kSequences = 7;

std::string TreeText()
{
    std::string text = "Bench = BTTaskSelector{";
    for (int i = 0; i < kSequences; ++i)
        text += " BTTaskSequence{BTTaskSequence BTTaskSequence BTTaskSequence BTTaskSequence "
                "BTTaskDummyDecorator{BTTaskSelector}}";
    return text + "}";
}

// The flat reference tree: kinds and child ranges, states per agent.
class ReferenceTree
{
public:
    enum Kind : uint8_t
    {
        SEQUENCE,
        SELECTOR,
        DUMMY,
    };
    struct Node
    {
        Kind kind;
        uint16_t first;
        uint16_t count;
    };

    ReferenceTree()
    {
        Add(SELECTOR, 1, kSequences);
        for (int i = 0; i < kSequences; ++i)
            Add(SEQUENCE, 0, 5);
        for (int i = 0; i < kSequences; ++i)
        {
            m_nodes[size_t(1 + i)].first = uint16_t(m_nodes.size());
            for (int k = 0; k < 4; ++k)
                Add(SEQUENCE, 0, 0);
            Add(DUMMY, uint16_t(m_nodes.size() + 1), 1);
            Add(SELECTOR, 0, 0);
        }
    }
    size_t Size() const { return m_nodes.size(); }

    int Tick(int32_t* states, size_t index) const
    {
        const Node& node = m_nodes[index];
        int result = node.kind == SEQUENCE ? 0 : 1;
        for (uint16_t k = 0; k < node.count; ++k)
        {
            const size_t child = size_t(node.first) + k;
            if (k > 0 && Check(child) != 0)
            {
                if (node.kind != SEQUENCE)
                    continue;
                result = 1;
                break;
            }
            const int r = Tick(states, child);
            if (node.kind == SEQUENCE ? r != 0 : r == 0)
            {
                result = r;
                break;
            }
        }
        states[index] = -1;
        return result;
    }

private:
    int Check(size_t index) const
    {
        const Node& node = m_nodes[index];
        if (node.count == 0)
            return node.kind == SEQUENCE ? 0 : 1;
        return Check(node.first);
    }
    void Add(Kind kind, uint16_t first, uint16_t count) { m_nodes.push_back(Node{kind, first, count}); }

    std::vector<Node> m_nodes;
};

void BM_TickTenThousandAgents(benchmark::State& state)
{
    RegisterSceneClasses();
    std::string error;
    std::unique_ptr<BehaviourTree> tree(BehaviourTreeText::ParseTree(TreeText(), error));
    if (tree == nullptr)
    {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<std::unique_ptr<BehaviourTreeContext>> agents;
    for (int i = 0; i < kAgents; ++i)
    {
        agents.push_back(std::make_unique<BehaviourTreeContext>());
        tree->SetUpContext(*agents.back());
    }
    const ReferenceTree reference;
    std::vector<int32_t> referenceStates(size_t(kAgents) * reference.Size(), -1);
    PairedRatio ratio;
    int64_t sink = 0;
    for (auto _ : state)
    {
        ratio.Measure(
            [&] {
                for (const std::unique_ptr<BehaviourTreeContext>& agent : agents)
                    sink += tree->Tick(*agent);
            },
            [&] {
                for (int i = 0; i < kAgents; ++i)
                    sink += reference.Tick(&referenceStates[size_t(i) * reference.Size()], 0);
            });
    }
    benchmark::DoNotOptimize(sink);
    ratio.Report(state, "ratio");
    state.counters["frame_ms"] = ratio.MedianOurs() * 1000.0;
    state.counters["nodes"] = double(reference.Size());
    for (const std::unique_ptr<BehaviourTreeContext>& agent : agents)
        tree->ReleaseContext(*agent);
}
} // namespace

BENCHMARK(BM_TickTenThousandAgents)->Unit(benchmark::kMillisecond)->MinTime(1.0);
