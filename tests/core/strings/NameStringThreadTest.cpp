// ctest-labels: thread
#include "core/strings/NameString.h"

#include "core/containers/Dynarray.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// Four threads intern, copy and release the same texts at once; every text must end up in one
// block, and the pool must return to where it started.
TEST(NameStringThreadTest, FourThreadsShareBlocksAndLeaveThePoolBalanced)
{
    constexpr int kThreads = 4;
    constexpr int kTexts = 200;
    constexpr int kRounds = 20;
    const int32_t blocks = NameString::GetPoolBlockCount();
    const uint32_t bytes = NameString::GetPoolByteTotal();

    std::vector<std::string> texts;
    for (int i = 0; i < kTexts; ++i)
        texts.push_back("entity_" + std::to_string(i));
    std::vector<NameString> keep(kThreads * kTexts);
    std::atomic<int> mismatches{0};

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
    {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round)
            {
                DynarraySafe<NameString> local;
                for (int i = 0; i < kTexts; ++i)
                {
                    // Each thread walks the texts in its own order (multipliers prime to kTexts).
                    static constexpr int kSteps[kThreads] = {1, 3, 7, 9};
                    const int index = (i * kSteps[t] + round) % kTexts;
                    local.Add(NameString(texts[size_t(index)].c_str()));
                    const NameString copy = local[i];
                    if (!copy.Equals(texts[size_t(index)].c_str()))
                        ++mismatches;
                }
                if (round == kRounds - 1)
                {
                    for (int i = 0; i < kTexts; ++i)
                        keep[size_t(t * kTexts + i)] = local[i];
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks + kTexts);
    for (int i = 0; i < kTexts; ++i)
    {
        const NameString name(texts[size_t(i)].c_str());
        EXPECT_EQ(name.GetReferenceCount(), uint32_t(kThreads + 1)) << texts[size_t(i)];
    }
    keep.clear();
    EXPECT_EQ(NameString::GetPoolBlockCount(), blocks);
    EXPECT_EQ(NameString::GetPoolByteTotal(), bytes);
}
