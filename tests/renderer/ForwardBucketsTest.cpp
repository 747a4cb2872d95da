// The forward buckets' table, the placing of task records into buckets and the sorts inside one;
// the gathered meshes' 128-bin depth order.
#include "renderer/ForwardBuckets.h"
#include "renderer/GatheredDepthSort.h"

#include "platform/gpu/GpuTypes.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr uint32_t K = gpu::kStencilKeep, R = gpu::kStencilReplace;

// A ring of records with the given buckets and keys, in that order.
RenderTaskRecordRing Ring(const std::vector<std::pair<uint32_t, float>>& records)
{
    RenderTaskRecordRing ring;
    ring.Allocate();
    for (const auto& [bucket, key] : records)
    {
        ring.AllocTaskRecord()->bucket = bucket;
        ring.AddSortKey(key);
    }
    return ring;
}

std::vector<uint32_t> Indices(const ForwardBuckets& buckets, uint32_t bucket)
{
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < buckets.GetCount(bucket); ++i)
        out.push_back(buckets.GetPairs(bucket)[i].recordIndex);
    return out;
}
} // namespace

TEST(ForwardBucketsTest, EachBucketHasItsSortPassAndStencilSetUp)
{
    struct Row
    {
        uint32_t bucket;
        bool sorts;
        uint32_t pass;
        int colorMask; // -1: unchanged
        bool stencil;
        uint32_t ops[3], function, reference, readMask, writeMask;
    };
    const Row rows[] = {
        {0, false, 0, 0, true, {R, R, R}, gpu::kCmpAlways, 255, 97, 97},
        {1, false, 0, 0, true, {R, R, R}, gpu::kCmpAlways, 255, 33, 33},
        {2, true, 0, -1, true, {K, K, K}, gpu::kCmpEqual, 0, 64, 0},
        {3, true, 3, -1, false, {}, 0, 0, 0, 0},
        {4, true, 0, -1, true, {K, K, K}, gpu::kCmpEqual, 64, 64, 0},
        {5, true, 0, -1, false, {}, 0, 0, 0, 0},
        {6, true, 0, -1, true, {R, R, K}, gpu::kCmpEqual, 192, 64, 128},
        {8, true, 0, -1, true, {R, R, K}, gpu::kCmpNotEqual, 0, 96, 128},
        {12, true, 0, -1, true, {K, K, K}, gpu::kCmpEqual, 128, 128, 0},
        {13, true, 0, -1, false, {}, 0, 0, 0, 0},
    };
    for (const Row& row : rows)
    {
        const ForwardBucketState& s = ForwardBuckets::GetState(row.bucket);
        EXPECT_EQ(s.sorts, row.sorts) << row.bucket;
        EXPECT_EQ(s.passArgument, row.pass) << row.bucket;
        EXPECT_EQ(s.setsColorWriteMask, row.colorMask >= 0) << row.bucket;
        EXPECT_EQ(s.restoresColorWriteMask, row.colorMask >= 0) << row.bucket;
        if (row.colorMask >= 0)
        {
            EXPECT_EQ(s.colorWriteMask, uint32_t(row.colorMask)) << row.bucket;
        }
        EXPECT_EQ(s.setsStencil, row.stencil) << row.bucket;
        EXPECT_EQ(s.switchesStencilOff, row.stencil) << row.bucket;
        if (!row.stencil)
            continue;
        EXPECT_EQ(s.stencilPass, row.ops[0]) << row.bucket;
        EXPECT_EQ(s.stencilFail, row.ops[1]) << row.bucket;
        EXPECT_EQ(s.stencilDepthFail, row.ops[2]) << row.bucket;
        EXPECT_EQ(s.stencilFunction, row.function) << row.bucket;
        EXPECT_EQ(s.stencilReference, row.reference) << row.bucket;
        EXPECT_EQ(s.stencilReadMask, row.readMask) << row.bucket;
        EXPECT_EQ(s.stencilWriteMask, row.writeMask) << row.bucket;
    }
}

TEST(ForwardBucketsTest, RecordsGoToTheirBucketsInRecordOrderAndSortStably)
{
    const RenderTaskRecordRing ring = Ring({{3, 5.0f}, {0, 1.0f}, {3, 9.0f}, {13, 2.0f}, {3, 5.0f}, {40, 7.0f}});
    ForwardBuckets buckets;
    buckets.Build(ring);
    EXPECT_EQ(Indices(buckets, 0), (std::vector<uint32_t>{1}));
    EXPECT_EQ(Indices(buckets, 3), (std::vector<uint32_t>{0, 2, 4}));
    EXPECT_EQ(Indices(buckets, 13), (std::vector<uint32_t>{3, 5})) << "a bucket past the last joins the last";
    EXPECT_EQ(buckets.GetCount(1), 0u);
    EXPECT_FLOAT_EQ(buckets.GetPairs(3)[1].key, 9.0f);
    buckets.Sort(3, false);
    EXPECT_EQ(Indices(buckets, 3), (std::vector<uint32_t>{2, 0, 4})) << "back to front, equal keys in record order";
    buckets.Sort(3, true);
    EXPECT_EQ(Indices(buckets, 3), (std::vector<uint32_t>{0, 4, 2})) << "front to back when asked";
    buckets.Build(Ring({}));
    EXPECT_EQ(buckets.GetCount(3), 0u) << "a new frame starts empty";
}

TEST(GatheredDepthSortTest, KeysFallIntoBinsNearestFirstAndEqualKeysKeepTheirOrder)
{
    struct Case
    {
        float key, smallest, largest;
        uint32_t bin;
    };
    const Case bins[] = {{10.0f, 10.0f, 20.0f, 0},   {20.0f, 10.0f, 20.0f, 127}, {15.0f, 10.0f, 20.0f, 63},
                         {10.08f, 10.0f, 20.0f, 1},  {5.0f, 10.0f, 20.0f, 0},    {30.0f, 10.0f, 20.0f, 127},
                         {12.0f, 12.0f, 12.0f, 0}};
    for (const Case& c : bins)
        EXPECT_EQ(GatheredDepthSort::Bin(c.key, c.smallest, c.largest), c.bin) << c.key;

    const float keys[] = {30.0f, 10.0f, 20.0f, 10.0f, 30.0f};
    uint32_t order[5] = {};
    GatheredDepthSort::Order(keys, 5, order);
    EXPECT_EQ(std::vector<uint32_t>(order, order + 5), (std::vector<uint32_t>{1, 3, 2, 0, 4}));
    const float middleFirst[] = {20.0f, 10.0f, 30.0f};
    GatheredDepthSort::Order(middleFirst, 3, order);
    EXPECT_EQ(std::vector<uint32_t>(order, order + 3), (std::vector<uint32_t>{1, 0, 2}));
    const float equal[] = {10000.0f, 10000.0f, 10000.0f};
    GatheredDepthSort::Order(equal, 3, order);
    EXPECT_EQ(std::vector<uint32_t>(order, order + 3), (std::vector<uint32_t>{0, 1, 2})) << "all in bin 0, as gathered";
}
