// Bit-exact fingerprints of whole poses: node and skinning matrices of several frames of blended
// clips (loops across the seam, backwards play, uneven key times, scale keys, a child tree node
// fading in, a clip that finishes and fades out), hashed byte for byte. The expected values were
// taken from the straightforward pose code; any change to sampling, blending or composition that
// moves a single bit fails here, so speed work on the pose path cannot change what it computes.
#include "effects/animation/AnimationClipFixture.h"
#include "effects/animation/AnimationTreeDefinition.h"
#include "effects/animation/XSIAnimation.h"

#include <cmath>
#include <cstring>
#include <memory>

namespace
{
constexpr int kBones = 14;

// FNV-1a over the bytes of the floats.
void Mix(uint64_t& hash, const float* values, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        uint32_t bits;
        std::memcpy(&bits, &values[i], sizeof(bits));
        for (int b = 0; b < 4; ++b)
        {
            hash ^= (bits >> (8 * b)) & 0xFFu;
            hash *= 1099511628211ull;
        }
    }
}

class PoseFingerprintTest : public AnimationClipFixture
{
protected:
    void SetUp() override
    {
        AnimationClipFixture::SetUp();
        // B0 > B1..B6 (a chain), B0 > B7..B13 (a chain with a branch at B9: B12 hangs from B9).
        std::vector<std::pair<const char*, uint8_t>> bones;
        static const char* const names[kBones] = {"B0", "B1", "B2", "B3", "B4",  "B5",  "B6",
                                                  "B7", "B8", "B9", "B10", "B11", "B12", "B13"};
        for (int bone = 0; bone < kBones; ++bone)
        {
            const uint8_t parent = bone == 0 ? 255 : bone == 1 || bone == 7 ? 0 : bone == 12 ? 9 : uint8_t(bone - 1);
            bones.emplace_back(names[bone], parent);
        }
        m_tree = Chain(bones);
        ASSERT_TRUE(AnimationTreeDefinition::Parse(m_tree, "<Node Name='upper' Bone='B7'/>", "unit"));
    }

    // Keys at uneven times; `shift` makes clips differ; `scaled` adds a moving scale channel;
    // `baked` puts every track's keys at the same times (a clip sampled at a fixed rate); `stray`
    // adds a track, second in the clip, that matches no bone.
    ResourceAnimation* Make(const std::string& name, int shift, int keys, bool scaled, int skipBone, bool baked = false,
                            bool stray = false)
    {
        AnimationClipSpec spec;
        for (int bone = 0; bone < kBones; ++bone)
        {
            if (bone == skipBone)
                continue;
            AnimationClipSpec::Track track;
            track.name = "B" + std::to_string(bone);
            const int count = baked ? keys : bone == 3 ? 1 : keys + bone % 3;
            for (int key = 0; key < count; ++key)
            {
                const float u = float(key) / float(std::max(count - 1, 1));
                const float time = baked ? 0.1f + 0.8f * u
                                   : count == 1 ? 0.3f
                                                : u * u * 0.9f + 0.05f * float((bone + shift) % 2);
                Quaternion q;
                q.SetAxisAlpha(Vector(float(bone % 3) - 1.0f, 1.0f, float(shift) * 0.5f, 0.0f),
                               70.0f * std::sin(float(key + shift) * 0.9f + float(bone)));
                track.rotation.push_back({time, Vector(q.x, q.y, q.z, q.w)});
                track.position.push_back(
                    {time, Vector(std::sin(float(key * 3 + bone + shift)), 0.5f + 0.2f * std::cos(float(key + shift)),
                                  0.1f * float(bone % 4), 0.0f)});
            }
            if (scaled && bone % 2 == 0)
            {
                track.scale.push_back({0.0f, Vector(1.0f, 1.0f, 1.0f, 0.0f)});
                track.scale.push_back({0.6f, Vector(1.3f, 0.8f, 1.1f, 0.0f)});
                track.scale.push_back({1.0f, Vector(0.9f, 1.0f, 1.2f, 0.0f)});
            }
            else
                track.scale.push_back({0.0f, Vector(1.0f, 1.0f, 1.0f, 0.0f)});
            spec.tracks.push_back(track);
            if (stray && bone == 0)
            {
                track.name = "Stray";
                spec.tracks.push_back(track);
            }
        }
        return Write(name, spec);
    }

    XSIAnimation* Play(MeshAnimator& animator, ResourceAnimation* clip, const char* node, uint32_t flags, float weight,
                       float attack, float duration, float speed, float offset)
    {
        AnimationParams params;
        params.Flags = flags;
        params.GroupMask = 1;
        params.Weight = weight;
        params.AttackTime = attack;
        params.SpeedMultiplier = speed;
        params.StartTimeOffset = offset;
        auto animation = std::make_unique<XSIAnimation>(clip, params, duration, 0.0f);
        XSIAnimation* const raw = animation.get();
        EXPECT_TRUE(animator.StartAnimationOnNode(m_tree, NameString(node), std::move(animation), 1.0f));
        return raw;
    }

    // Poses `frames` frames of uneven length and hashes every node and skinning matrix.
    uint64_t Run(MeshAnimator& animator, int frames, float positionScale)
    {
        uint64_t hash = 14695981039346656037ull;
        for (int frame = 0; frame < frames; ++frame)
        {
            Tick(0.013f + 0.011f * float(frame % 5));
            Pose(animator, m_tree, positionScale);
            for (int bone = 0; bone < kBones; ++bone)
                Mix(hash, &Node(uint32_t(bone)).rows[0].x, 16);
            Mix(hash, animator.GetSkinningMatrices().data(), animator.GetSkinningMatrices().size());
        }
        return hash;
    }

    MeshSkeleton m_tree;
};
} // namespace

TEST_F(PoseFingerprintTest, BlendedLoopsOnTheRootNode)
{
    ResourceAnimation* walk = Make("walk", 0, 6, false, -1);
    ResourceAnimation* run = Make("run", 1, 9, true, 5);
    MeshAnimator animator(nullptr, kBones, 2);
    Play(animator, walk, "root", ANIMFLAG_LOOP, 0.5f, 0.0f, 1.0f, 1.0f, 0.2f);
    Play(animator, run, "root", ANIMFLAG_LOOP | ANIMFLAG_BACKWARDS, 0.7f, 0.0f, 1.3f, 1.1f, 0.9f);
    EXPECT_EQ(Run(animator, 90, 1.0f), 16763482139438172385ull);
}

TEST_F(PoseFingerprintTest, AChildNodeFadesInOverTheRootAndAClipFinishes)
{
    ResourceAnimation* walk = Make("walk", 2, 7, true, -1);
    ResourceAnimation* run = Make("run", 3, 5, false, 11);
    ResourceAnimation* wave = Make("wave", 4, 4, true, 2);
    MeshAnimator animator(nullptr, kBones, 2);
    Play(animator, walk, "root", ANIMFLAG_LOOP, 1.0f, 0.0f, 0.8f, 1.0f, 0.0f);
    Play(animator, run, "root", ANIMFLAG_REPEAT, 0.4f, 0.3f, 1.0f, 0.7f, 0.5f);
    Play(animator, wave, "upper", ANIMFLAG_AUTOFINISH, 0.9f, 0.4f, 1.5f, 1.0f, 0.0f);
    EXPECT_EQ(Run(animator, 120, 1.5f), 2770654949655584517ull);
    EXPECT_TRUE(animator.GetSlotList(1).empty()) << "the finished clip has faded out and left";
}

TEST_F(PoseFingerprintTest, BakedClipsWithOneSetOfKeyTimes)
{
    ResourceAnimation* walk = Make("walk", 5, 8, false, -1, true);
    ResourceAnimation* run = Make("run", 6, 11, false, -1, true);
    MeshAnimator animator(nullptr, kBones, 2);
    Play(animator, walk, "root", ANIMFLAG_LOOP, 0.5f, 0.0f, 1.0f, 1.0f, 0.3f);
    Play(animator, run, "root", ANIMFLAG_LOOP | ANIMFLAG_BACKWARDS, 0.5f, 0.0f, 0.7f, 1.2f, 0.1f);
    EXPECT_EQ(Run(animator, 90, 1.0f), 8247675795384649461ull);
}

TEST_F(PoseFingerprintTest, BakedClipsWithGapsAStrayTrackAndAChildNode)
{
    // Bones whose tracks do not line up in fours (a bone without a track, a track without a bone,
    // a node starting at B7), a second scale for positions and a child clip fading in.
    ResourceAnimation* walk = Make("walk", 7, 6, false, 2, true);
    ResourceAnimation* run = Make("run", 8, 9, false, -1, true, true);
    ResourceAnimation* wave = Make("wave", 9, 5, false, -1, true);
    MeshAnimator animator(nullptr, kBones, 2);
    Play(animator, walk, "root", ANIMFLAG_LOOP, 0.6f, 0.0f, 1.1f, 1.0f, 0.4f);
    Play(animator, run, "root", ANIMFLAG_LOOP, 0.5f, 0.0f, 0.9f, 1.3f, 0.7f);
    Play(animator, wave, "upper", ANIMFLAG_LOOP | ANIMFLAG_BACKWARDS, 0.8f, 0.5f, 1.2f, 1.0f, 0.2f);
    EXPECT_EQ(Run(animator, 100, 1.5f), 14423819062109956309ull);
}

TEST_F(PoseFingerprintTest, DistinctRestAndBindMatricesAndARootMotionBoneInAGroupOfFour)
{
    // Every bone's rest and inverse bind turn and move it differently; B2 (in the group B0..B3)
    // carries root motion, so it stays at rest.
    MeshSkeleton varied;
    for (uint32_t bone = 0; bone < kBones; ++bone)
    {
        MeshSkeletonBone record = m_tree.GetBone(bone);
        record.flags = bone == 2 ? 1 : 0;
        Quaternion turn;
        turn.SetAxisAlpha(Vector(1.0f, float(bone % 3), 0.5f, 0.0f), 10.0f + 7.0f * float(bone));
        Matrix rest;
        rest.LoadQuaternionTranslationAndScale(turn, Vector(0.1f * float(bone), 1.0f, -0.05f * float(bone), 0.0f),
                                               Vector(1.0f, 1.0f + 0.01f * float(bone), 1.0f, 0.0f));
        varied.AddBone(record, rest);
        Matrix inverseBind;
        inverseBind.LoadQuaternionTranslationAndScale(turn, Vector(0.0f, -float(bone), 0.2f, 0.0f), Vector(1, 1, 1, 0));
        varied.AddSkinMatrix(inverseBind);
    }
    varied.SetTreeNodes(m_tree.GetTreeNodes());
    m_tree = varied;
    ResourceAnimation* walk = Make("walk", 10, 7, true, -1);
    ResourceAnimation* run = Make("run", 11, 8, false, -1, true);
    MeshAnimator animator(nullptr, kBones, 2);
    Play(animator, walk, "root", ANIMFLAG_LOOP, 0.7f, 0.0f, 1.0f, 1.0f, 0.1f);
    Play(animator, run, "root", ANIMFLAG_LOOP, 0.4f, 0.0f, 0.8f, 1.1f, 0.6f);
    EXPECT_EQ(Run(animator, 80, 1.2f), 11312863555478109954ull);
}
