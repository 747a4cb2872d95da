#include "tools/datakit/HuffmanCode.h"

#include <algorithm>
#include <queue>

namespace
{
// Plain Huffman lengths by repeatedly merging the two lightest nodes.
std::vector<uint8_t> HuffmanLengths(const std::vector<uint64_t>& weights)
{
    struct Node
    {
        uint64_t weight;
        int left;
        int right;
    };
    std::vector<Node> nodes;
    using Item = std::pair<uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
    for (size_t symbol = 0; symbol < weights.size(); ++symbol)
    {
        if (weights[symbol] == 0)
            continue;
        nodes.push_back({weights[symbol], -1 - static_cast<int>(symbol), 0});
        queue.push({weights[symbol], static_cast<int>(nodes.size() - 1)});
    }
    while (queue.size() > 1)
    {
        const Item a = queue.top();
        queue.pop();
        const Item b = queue.top();
        queue.pop();
        nodes.push_back({a.first + b.first, a.second, b.second});
        queue.push({a.first + b.first, static_cast<int>(nodes.size() - 1)});
    }
    std::vector<uint8_t> lengths(weights.size(), 0);
    // Walk down from the root; leaves carry their symbol as -1 - symbol in `left`.
    std::vector<std::pair<int, uint32_t>> stack{{static_cast<int>(nodes.size() - 1), 0}};
    while (!stack.empty())
    {
        const auto [index, depth] = stack.back();
        stack.pop_back();
        const Node& node = nodes[index];
        if (node.left < 0)
            lengths[-1 - node.left] = static_cast<uint8_t>(std::max<uint32_t>(depth, 1));
        else
        {
            stack.push_back({node.left, depth + 1});
            stack.push_back({node.right, depth + 1});
        }
    }
    return lengths;
}
} // namespace

HuffmanCode HuffmanCode::Build(const std::vector<uint32_t>& frequencies, uint32_t maxLength)
{
    HuffmanCode code;
    const size_t count = frequencies.size();
    code.lengths.assign(count, 0);
    code.codes.assign(count, 0);

    std::vector<uint64_t> weights(frequencies.begin(), frequencies.end());
    const size_t used = static_cast<size_t>(std::count_if(weights.begin(), weights.end(), [](uint64_t w) { return w != 0; }));
    if (used == 0)
        return code;
    if (used == 1)
    {
        // One symbol cannot fill the code space alone: give an unused neighbour the other half.
        const size_t symbol = static_cast<size_t>(std::find_if(weights.begin(), weights.end(), [](uint64_t w) { return w != 0; }) - weights.begin());
        weights[symbol == 0 ? 1 : 0] = 1;
    }

    for (;;)
    {
        code.lengths = HuffmanLengths(weights);
        if (*std::max_element(code.lengths.begin(), code.lengths.end()) <= maxLength)
            break;
        // Flatten the distribution and try again; terminates once all weights are equal.
        for (uint64_t& weight : weights)
            if (weight != 0)
                weight = (weight + 1) / 2;
    }

    uint32_t next = 0;
    for (uint32_t length = 1; length <= maxLength; ++length)
    {
        for (size_t symbol = 0; symbol < count; ++symbol)
            if (code.lengths[symbol] == length)
                code.codes[symbol] = next++;
        next <<= 1;
    }
    return code;
}
