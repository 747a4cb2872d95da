#include "core/math/HDRColor.h"

#include "MathExpect.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
testing::AssertionResult Channels(const HDRColor& c, int r, int g, int b, int a)
{
    if (c.r == r && c.g == g && c.b == b && c.a == a)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "got " << int(c.r) << " " << int(c.g) << " " << int(c.b) << " " << int(c.a);
}

// Restores the process-wide switch after each test.
class HDRColorTest : public testing::Test
{
protected:
    void TearDown() override { HDRColor::SetLinearLighting(true); }
};
} // namespace

TEST_F(HDRColorTest, ChannelProductsRoundDown)
{
    HDRColor c(255, 128, 0, 255, 2.0f);
    c *= HDRColor(128, 128, 128, 128, 1.5f);
    EXPECT_TRUE(Channels(c, 128, 64, 0, 128));
    EXPECT_FLOAT_EQ(c.multiplier, 3.0f);
}

TEST_F(HDRColorTest, SumsSaturate)
{
    HDRColor c(200, 0, 0, 0, 1.0f);
    c += HDRColor(100, 0, 0, 0, 0.5f);
    EXPECT_TRUE(Channels(c, 255, 0, 0, 0));
    EXPECT_FLOAT_EQ(c.multiplier, 1.5f);

    c.AddScaled(HDRColor(255, 200, 100, 255, 2.0f), 0.5f);
    EXPECT_TRUE(Channels(c, 255, 100, 50, 128));
    EXPECT_FLOAT_EQ(c.multiplier, 2.5f);

    c.SetScaled(HDRColor(255, 100, 10, 0, 2.0f), 0.5f);
    EXPECT_TRUE(Channels(c, 128, 50, 5, 0));
    EXPECT_FLOAT_EQ(c.multiplier, 1.0f);
}

TEST_F(HDRColorTest, FactorsOutsideTheUnitRangeCannotWrapChannels)
{
    HDRColor c(10, 10, 10, 10);
    c.AddScaled(HDRColor(255, 255, 255, 255), -1.0f);
    EXPECT_TRUE(Channels(c, 10, 10, 10, 10));
    c.SetScaled(HDRColor(200, 200, 200, 200), 3.0f);
    EXPECT_TRUE(Channels(c, 200, 200, 200, 200));
}

TEST_F(HDRColorTest, LerpIsExactAtBothEnds)
{
    const HDRColor from(255, 0, 100, 255, 1.0f), to(0, 255, 100, 0, 3.0f);
    HDRColor c;
    EXPECT_TRUE(Channels(c, 0, 0, 0, 0)) << "a new colour starts as transparent black";
    c.Lerp(from, to, 1.0f);
    EXPECT_TRUE(Channels(c, 0, 255, 100, 0));
    EXPECT_FLOAT_EQ(c.multiplier, 3.0f);
    c.Lerp(from, to, 0.0f);
    EXPECT_TRUE(Channels(c, 255, 0, 100, 255));
    c.Lerp(from, to, 0.5f);
    EXPECT_TRUE(Channels(c, 127, 128, 100, 127));
    EXPECT_FLOAT_EQ(c.multiplier, 2.0f);
}

TEST_F(HDRColorTest, FromVectorPicksTheMultiplier)
{
    HDRColor c;
    c.FromVector(Vector(1.5f, 0.75f, 0.375f, 1));
    EXPECT_TRUE(Channels(c, 255, 127, 63, 255));
    EXPECT_FLOAT_EQ(c.multiplier, 1.5f);
    c.FromVector(Vector(0.5f, 0.25f, 0, 0.5f));
    EXPECT_TRUE(Channels(c, 127, 63, 0, 127));
    EXPECT_FLOAT_EQ(c.multiplier, 1.0f);
    c.FromVector(Vector(-1, 0.5f, 4, 7));
    EXPECT_TRUE(Channels(c, 0, 31, 255, 255));
    EXPECT_FLOAT_EQ(c.multiplier, 4.0f);
}

TEST_F(HDRColorTest, RoundTripKeepsTheLargestComponent)
{
    for (const Vector& v : {Vector(3, 1, 0.2f, 1), Vector(0.1f, 5, 2, 0.5f), Vector(0.3f, 0.9f, 0.6f, 0.2f)})
    {
        HDRColor c;
        c.FromVector(v);
        Vector back;
        c.ToVectorRaw(back);
        EXPECT_NEAR(std::max({back.x, back.y, back.z}), std::max({v.x, v.y, v.z}), 0.01f * std::max(1.0f, v.y + v.x));
        EXPECT_TRUE(Near(back, v, 0.021f * c.multiplier));
    }
}

TEST_F(HDRColorTest, GammaFollowsTheLinearLightingSwitch)
{
    Vector v;
    const HDRColor white(255, 255, 255, 255, 1.0f);
    for (bool on : {true, false})
    {
        HDRColor::SetLinearLighting(on);
        white.ToVector(v);
        EXPECT_TRUE(Near(v, Vector(1, 1, 1, 1), 1e-6f)) << on;
    }
    const HDRColor grey(128, 128, 128, 255, 1.0f);
    HDRColor::SetLinearLighting(true);
    grey.ToVector(v);
    EXPECT_NEAR(v.x, 0.2195f, 1e-4f);
    EXPECT_FLOAT_EQ(v.w, 1.0f);
    HDRColor::SetLinearLighting(false);
    grey.ToVector(v);
    EXPECT_NEAR(v.x, 128.0f / 255.0f, 1e-6f);
    grey.ToLinearVector(v);
    EXPECT_NEAR(v.x, 0.2195f, 1e-4f);
}
