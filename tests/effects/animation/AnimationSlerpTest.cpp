// The pose slerp against Quaternion::Slerp over the whole range of arcs, both one at a time and four
// lanes at once, and the batched bone blend against one bone at a time.
#include "effects/animation/AnimationSlerp.h"
#include "effects/animation/PoseBlending.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
Quaternion Turn(const Vector& axis, float degrees)
{
    Quaternion q;
    q.SetAxisAlpha(axis, degrees);
    return q;
}

void ExpectNear(const Quaternion& a, const Quaternion& b, float tolerance)
{
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
    EXPECT_NEAR(a.w, b.w, tolerance);
}
} // namespace

TEST(AnimationSlerpTest, MatchesTheLibrarySlerpOnEveryArc)
{
    // Arcs from nearly parallel (the linear fallback) to opposite hemispheres (the short way round),
    // and a pair a little longer than unit as rebuilt keys can be.
    const Quaternion from = Turn(Vector(1, 2, 0.5f, 0), 20.0f);
    struct Case
    {
        const char* name;
        Quaternion to;
    };
    const Case cases[] = {
        {"same", from},
        {"0.1 degree", Turn(Vector(1, 2, 0.5f, 0), 20.1f)},
        {"5 degrees", Turn(Vector(1, 2, 0.5f, 0), 25.0f)},
        {"90 degrees", Turn(Vector(0, 1, 0, 0), 90.0f)},
        {"179 degrees", Turn(Vector(0, 0, 1, 0), 179.0f)},
        {"200 degrees: the other way", Turn(Vector(0.3f, 0, 1, 0), 200.0f)},
        {"longer than unit", Quaternion(0.7f, 0.7f, 0.2f, 0.0f)},
    };
    for (const Case& c : cases)
        for (const float t : {0.0f, 0.125f, 0.5f, 0.8f, 1.0f})
        {
            SCOPED_TRACE(testing::Message() << c.name << " t " << t);
            Quaternion expected;
            expected.Slerp(from, c.to, t);
            const Quaternion one = AnimationSlerp::Slerp(from, c.to, t);
            ExpectNear(one, expected, 2e-6f);

            // The same pair in every lane of the four-wide form, transposed in and out.
            __m128 a[4] = {from.Simd(), from.Simd(), from.Simd(), from.Simd()};
            __m128 b[4] = {c.to.Simd(), c.to.Simd(), c.to.Simd(), c.to.Simd()};
            _MM_TRANSPOSE4_PS(a[0], a[1], a[2], a[3]);
            _MM_TRANSPOSE4_PS(b[0], b[1], b[2], b[3]);
            __m128 out[4];
            AnimationSlerp::Slerp4(a, b, _mm_set1_ps(t), out);
            _MM_TRANSPOSE4_PS(out[0], out[1], out[2], out[3]);
            for (int lane = 0; lane < 4; ++lane)
            {
                Quaternion four;
                four.SetSimd(out[lane]);
                EXPECT_EQ(four.x, one.x) << lane;
                EXPECT_EQ(four.w, one.w) << lane;
            }
        }
}

namespace
{
class FixedAnimation : public BaseAnimation
{
public:
    FixedAnimation(std::vector<uint8_t> bones, float degrees, float x) : BaseAnimation(AnimationParams())
    {
        for (size_t k = 0; k < bones.size(); ++k)
            m_boundToBone[k] = bones[k];
        FinishBinding(uint32_t(bones.size()));
        for (size_t k = 0; k < m_samples.size(); ++k)
        {
            m_samples[k].rotation = Turn(Vector(0, 1, float(k), 0), degrees + 10.0f * float(k));
            m_samples[k].position = Vector(x + float(k), 0, 0, 0);
        }
    }
};
} // namespace

TEST(AnimationSlerpTest, FourBonesBlendAsEachWouldAlone)
{
    // Three animations driving different subsets of bones 0 to 4: each lane of a batch meets its own
    // first animation and its own running share.
    FixedAnimation a({0, 1, 3}, 10.0f, 0.0f), b({1, 2, 3}, 100.0f, 10.0f), c({0, 3, 4}, -60.0f, 20.0f);
    const std::vector<ActiveAnimationEntry> stack = {
        {&a, 0, 0.5f, 0.5f, 1}, {&b, 0, 0.3f, 0.3f, 1}, {&c, 0, 0.2f, 0.2f, 1}};
    for (const uint32_t first : {0u, 1u})
    {
        AnimationBoneSample batch[4];
        bool driven[4];
        PoseBlending::BlendBones(stack, first, 4, batch, driven);
        for (uint32_t lane = 0; lane < 4; ++lane)
        {
            SCOPED_TRACE(first + lane);
            AnimationBoneSample alone;
            ASSERT_EQ(PoseBlending::BlendBone(stack, first + lane, alone), driven[lane]);
            ASSERT_TRUE(driven[lane]);
            EXPECT_EQ(batch[lane].position.x, alone.position.x);
            ExpectNear(batch[lane].rotation, alone.rotation, 0.0f);
        }
    }
    // Bone 3 is driven by all three: 0.5, 0.3 and 0.2 by running shares give the weighted position.
    AnimationBoneSample three;
    ASSERT_TRUE(PoseBlending::BlendBone(stack, 3, three));
    EXPECT_NEAR(three.position.x, 0.5f * 2.0f + 0.3f * 12.0f + 0.2f * 21.0f, 1e-5f);
}
