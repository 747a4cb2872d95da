#include "platform/gpu/OutputMerger.h"

#include <gtest/gtest.h>

using namespace gpu;

namespace
{
struct BlendCase
{
    const char* name;
    uint32_t op, source, dest;
    Color4f expected; // for source (0.8, 0.4, 0.2, 0.5) over destination (0.2, 0.6, 1.0, 0.25)
};

// The rows the renderer's blend table uses, worked out by hand.
const BlendCase kBlendCases[] = {
    {"opaque", kBlendOpAdd, kBlendOne, kBlendZero, {0.8f, 0.4f, 0.2f, 0.5f}},
    {"alpha", kBlendOpAdd, kBlendSrcAlpha, kBlendInvSrcAlpha, {0.5f, 0.5f, 0.6f, 0.375f}},
    {"additive", kBlendOpAdd, kBlendOne, kBlendOne, {1.0f, 1.0f, 1.2f, 0.75f}},
    {"alpha additive", kBlendOpAdd, kBlendSrcAlpha, kBlendOne, {0.6f, 0.8f, 1.1f, 0.5f}},
    {"inverse alpha", kBlendOpAdd, kBlendInvSrcAlpha, kBlendSrcAlpha, {0.5f, 0.5f, 0.6f, 0.375f}},
    {"subtract", kBlendOpSubtract, kBlendOne, kBlendOne, {0.6f, -0.2f, -0.8f, 0.25f}},
    {"multiply by destination", kBlendOpAdd, kBlendDestColor, kBlendZero, {0.16f, 0.24f, 0.2f, 0.125f}},
    {"multiply by source", kBlendOpAdd, kBlendZero, kBlendSrcColor, {0.16f, 0.24f, 0.2f, 0.125f}},
    {"minimum", kBlendOpMin, kBlendOne, kBlendOne, {0.2f, 0.4f, 0.2f, 0.25f}},
    {"inverse source colour", kBlendOpAdd, kBlendZero, kBlendInvSrcColor, {0.04f, 0.36f, 0.8f, 0.125f}},
    {"reverse subtract", kBlendOpRevSubtract, kBlendOne, kBlendOne, {-0.6f, 0.2f, 0.8f, -0.25f}},
    {"maximum", kBlendOpMax, kBlendOne, kBlendOne, {0.8f, 0.6f, 1.0f, 0.5f}},
};

TEST(OutputMergerTest, BlendFactorsAndOperationsGiveTheHandWorkedValues)
{
    const Color4f s = {0.8f, 0.4f, 0.2f, 0.5f}, d = {0.2f, 0.6f, 1.0f, 0.25f};
    for (const BlendCase& c : kBlendCases)
    {
        uint32_t rs[kRenderStateCount] = {};
        rs[kRsBlendOp] = c.op;
        rs[kRsSrcBlend] = c.source;
        rs[kRsDestBlend] = c.dest;
        const Color4f out = BlendColors(s, d, rs);
        EXPECT_NEAR(out.r, c.expected.r, 1e-6) << c.name;
        EXPECT_NEAR(out.g, c.expected.g, 1e-6) << c.name;
        EXPECT_NEAR(out.b, c.expected.b, 1e-6) << c.name;
        EXPECT_NEAR(out.a, c.expected.a, 1e-6) << c.name;
    }
}

TEST(OutputMergerTest, SeparateAlphaBlendsAlphaByItsOwnFactors)
{
    uint32_t rs[kRenderStateCount] = {};
    rs[kRsBlendOp] = kBlendOpAdd;
    rs[kRsSrcBlend] = kBlendOne;
    rs[kRsDestBlend] = kBlendZero;
    rs[kRsBlendOpAlpha] = kBlendOpAdd;
    rs[kRsSrcBlendAlpha] = kBlendZero;
    rs[kRsDestBlendAlpha] = kBlendOne;
    const Color4f s = {0.8f, 0.4f, 0.2f, 0.5f}, d = {0.2f, 0.6f, 1.0f, 0.25f};
    EXPECT_FLOAT_EQ(BlendColors(s, d, rs).a, 0.5f) << "without the switch alpha follows the colour factors";
    rs[kRsSeparateAlphaBlendEnable] = 1;
    EXPECT_FLOAT_EQ(BlendColors(s, d, rs).a, 0.25f);
    EXPECT_FLOAT_EQ(BlendColors(s, d, rs).r, 0.8f);
}

TEST(OutputMergerTest, StencilOperationsOnEightBitValues)
{
    struct Case
    {
        uint32_t op, value, expected;
    };
    const Case cases[] = {
        {kStencilKeep, 7, 7},      {kStencilZero, 7, 0},      {kStencilReplace, 7, 0x5A},
        {kStencilIncrSat, 255, 255}, {kStencilIncrSat, 7, 8}, {kStencilDecrSat, 0, 0},
        {kStencilDecrSat, 7, 6},   {kStencilInvert, 0x0F, 0xF0}, {kStencilIncr, 255, 0},
        {kStencilDecr, 0, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StencilOperation(c.op, c.value, 0x15A), c.expected) << "operation " << c.op << " on " << c.value;
}

TEST(OutputMergerTest, ComparisonsReadValueAgainstReference)
{
    struct Case
    {
        uint32_t func;
        bool less, equal, greater; // value below, equal to, above the reference
    };
    const Case cases[] = {
        {kCmpNever, false, false, false},    {kCmpLess, true, false, false},
        {kCmpEqual, false, true, false},     {kCmpLessEqual, true, true, false},
        {kCmpGreater, false, false, true},   {kCmpNotEqual, true, false, true},
        {kCmpGreaterEqual, false, true, true}, {kCmpAlways, true, true, true},
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(Compare(c.func, 4, 5), c.less) << c.func;
        EXPECT_EQ(Compare(c.func, 5, 5), c.equal) << c.func;
        EXPECT_EQ(Compare(c.func, 6, 5), c.greater) << c.func;
    }
}
} // namespace
