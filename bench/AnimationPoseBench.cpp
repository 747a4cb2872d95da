// A frame of skeletal animation: 1,000 meshes of 60 bones, each blending two looping clips of 30
// keys per channel, sampled from quantised keys, blended, composed down the hierarchy and written as
// skinning matrices (MeshAnimator::UpdatePose). The reference does the same job plainly over float
// keys (binary search, slerp, TRS, parent product, inverse bind). Both sides are timed in the
// processor time of the benchmark's thread, which does all of the work: on a busy machine the
// time it waits for a core is not the pose's. Counters: "ms_per_frame" for ours and
// "x_reference", reference time / our time.
#include "PairedRatio.h"

#include "core/filesystem/FileSystem.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "effects/animation/XSIAnimation.h"
#include "engine/Game.h"
#include "renderer/resources/ResourceAnimation.h"
#include "renderer/resources/ResourceManager.h"
#include "tools/datakit/AnimationFileWriter.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr int kMeshes = 1000;
constexpr int kBones = 60;
constexpr int kKeys = 30;
constexpr float kFrame = 1.0f / 60.0f;

Vector KeyPosition(int clip, int bone, int key)
{
    return Vector(std::sin(float(key + bone + clip)), 1.0f + 0.1f * std::cos(float(key * 2 + clip)), 0.0f, 0.0f);
}

Quaternion KeyRotation(int clip, int bone, int key)
{
    Quaternion q;
    q.SetAxisAlpha(Vector(float(bone % 3), 1.0f, float(clip), 0.0f), 40.0f * std::sin(float(key) * 0.4f + float(bone)));
    return q;
}

AnimationClipSpec MakeClip(int clip)
{
    AnimationClipSpec spec;
    for (int bone = 0; bone < kBones; ++bone)
    {
        AnimationClipSpec::Track track;
        track.name = "B" + std::to_string(bone);
        for (int key = 0; key < kKeys; ++key)
        {
            const float time = float(key) / float(kKeys - 1);
            const Quaternion q = KeyRotation(clip, bone, key);
            track.rotation.push_back({time, Vector(q.x, q.y, q.z, q.w)});
            track.position.push_back({time, KeyPosition(clip, bone, key)});
        }
        track.scale.push_back({0.0f, Vector(1, 1, 1, 0)});
        spec.tracks.push_back(track);
    }
    return spec;
}

MeshSkeleton MakeSkeleton()
{
    MeshSkeleton skeleton;
    for (int bone = 0; bone < kBones; ++bone)
    {
        MeshSkeletonBone record;
        record.name = NameString(("B" + std::to_string(bone)).c_str());
        // Five chains of twelve bones under bone 0.
        record.parent = bone == 0 ? 255 : uint8_t(bone % 12 == 1 ? 0 : bone - 1);
        record.skinIndex = uint8_t(bone);
        Matrix rest;
        rest.LoadTranslation(0.0f, 0.5f, 0.0f);
        skeleton.AddBone(record, rest);
        Matrix inverseBind;
        inverseBind.LoadTranslation(0.0f, -0.5f * float(bone), 0.0f);
        skeleton.AddSkinMatrix(inverseBind);
    }
    AnimationTreeNode root;
    root.name = NameString("root");
    root.boneCount = kBones;
    skeleton.AddTreeNode(root);
    return skeleton;
}

// The plain reference: float keys per clip, bone and key.
struct ReferenceClip
{
    std::vector<float> times;
    std::vector<Quaternion> rotations; // [bone * kKeys + key]
    std::vector<Vector> positions;
};

void ReferencePose(const std::vector<ReferenceClip>& clips, const MeshSkeleton& skeleton, const float (&progress)[2],
                   std::vector<Matrix>& nodes, float* skinning)
{
    for (int bone = 0; bone < kBones; ++bone)
    {
        Quaternion rotations[2];
        Vector positions[2];
        for (int c = 0; c < 2; ++c)
        {
            const ReferenceClip& clip = clips[size_t(c)];
            const auto upper = std::upper_bound(clip.times.begin(), clip.times.end(), progress[c]);
            const int b = std::min(int(upper - clip.times.begin()), kKeys - 1);
            const int a = std::max(b - 1, 0);
            const float span = clip.times[size_t(b)] - clip.times[size_t(a)];
            const float t = span > 0.0f ? (progress[c] - clip.times[size_t(a)]) / span : 0.0f;
            rotations[c].Slerp(clip.rotations[size_t(bone * kKeys + a)], clip.rotations[size_t(bone * kKeys + b)], t);
            const Vector& pa = clip.positions[size_t(bone * kKeys + a)];
            const Vector& pb = clip.positions[size_t(bone * kKeys + b)];
            positions[c] = Vector(pa.x + (pb.x - pa.x) * t, pa.y + (pb.y - pa.y) * t, pa.z + (pb.z - pa.z) * t, 0.0f);
        }
        Quaternion rotation;
        rotation.Slerp(rotations[0], rotations[1], 0.5f);
        const Vector position(0.5f * (positions[0].x + positions[1].x), 0.5f * (positions[0].y + positions[1].y),
                              0.5f * (positions[0].z + positions[1].z), 0.0f);
        Matrix trs;
        trs.LoadQuaternionTranslationAndScale(rotation, position, Vector(1, 1, 1, 0));
        Matrix local;
        local.Mul(skeleton.GetRestMatrix(uint32_t(bone)), trs);
        const uint8_t parent = skeleton.GetBone(uint32_t(bone)).parent;
        nodes[size_t(bone)].Mul(parent == 255 ? Matrix::ONE : nodes[parent], local);
        Matrix skin;
        skin.Mul(nodes[size_t(bone)], skeleton.GetInverseBindMatrix(uint32_t(bone)));
        Vector rows[3];
        skin.ToTransposed3x4(rows);
        std::copy(&rows[0].x, &rows[0].x + 4, skinning + bone * 12);
        std::copy(&rows[1].x, &rows[1].x + 4, skinning + bone * 12 + 4);
        std::copy(&rows[2].x, &rows[2].x + 4, skinning + bone * 12 + 8);
    }
}

void AnimationPoseFrame(benchmark::State& state)
{
    std::string folder = (std::filesystem::temp_directory_path() / "norvex-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
    {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::filesystem::create_directories(folder + "/Animations");
    for (int c = 0; c < 2; ++c)
        AnimationFileWriter::Write(folder + "/Animations/clip" + std::to_string(c) + ".bin", MakeClip(c));
    gFileSystem.MountDirectory("Animations", (folder + "/Animations").c_str());
    {
        ResourceManager resources;
        resources.Init();
        ResourceAnimation* clips[2];
        for (int c = 0; c < 2; ++c)
        {
            clips[c] = static_cast<ResourceAnimation*>(
                resources.GetResource(RESOURCE_TYPE_ANIMATION, ("clip" + std::to_string(c)).c_str(), 0, true, 0));
            clips[c]->Load(true);
            clips[c]->WaitUntilLoaded(false);
        }
        const MeshSkeleton skeleton = MakeSkeleton();
        gGame.GetGameTimer().Reset();
        std::vector<std::unique_ptr<MeshAnimator>> animators;
        for (int mesh = 0; mesh < kMeshes; ++mesh)
        {
            animators.push_back(std::make_unique<MeshAnimator>(nullptr, kBones, 1));
            for (int c = 0; c < 2; ++c)
            {
                AnimationParams params;
                params.Flags = ANIMFLAG_LOOP;
                params.GroupMask = 1;
                params.AttackTime = 0.0f;
                params.Weight = 0.5f;
                params.StartTimeOffset = float(mesh % 97) / 97.0f;
                animators.back()->StartAnimationOnNode(skeleton, NameString("root"),
                                                       std::make_unique<XSIAnimation>(clips[c], params, 1.0f + 0.3f * float(c), 0.0f),
                                                       1.0f);
            }
        }
        std::vector<ReferenceClip> reference(2);
        for (int c = 0; c < 2; ++c)
            for (int key = 0; key < kKeys; ++key)
                reference[size_t(c)].times.push_back(float(key) / float(kKeys - 1));
        for (int c = 0; c < 2; ++c)
            for (int bone = 0; bone < kBones; ++bone)
                for (int key = 0; key < kKeys; ++key)
                {
                    reference[size_t(c)].rotations.push_back(KeyRotation(c, bone, key));
                    reference[size_t(c)].positions.push_back(KeyPosition(c, bone, key));
                }
        std::vector<Matrix> nodes(kBones);
        std::vector<float> referenceSkinning(size_t(kMeshes) * kBones * 12);
        AnimationSampleContext context;
        PairedRatio ratio(PairedRatio::Timing::ThreadCpu);
        float clock = 0.0f;
        for (auto _ : state)
        {
            ratio.Measure(
                [&] {
                    gGame.GetGameTimer().Tick(kFrame);
                    ++context.frameCounters[1];
                    for (const std::unique_ptr<MeshAnimator>& animator : animators)
                        animator->UpdatePose(context, skeleton, 1.0f, nullptr);
                    benchmark::DoNotOptimize(animators.back()->GetSkinningMatrices().data());
                },
                [&] {
                    clock += kFrame;
                    for (int mesh = 0; mesh < kMeshes; ++mesh)
                    {
                        const float offset = float(mesh % 97) / 97.0f;
                        const float progress[2] = {std::fmod(clock + offset, 1.0f) / 1.0f,
                                                   std::fmod(clock + offset, 1.3f) / 1.3f};
                        ReferencePose(reference, skeleton, progress, nodes,
                                      &referenceSkinning[size_t(mesh) * kBones * 12]);
                    }
                    benchmark::DoNotOptimize(referenceSkinning.data());
                });
        }
        state.counters["ms_per_frame"] = ratio.MedianOurs() * 1000.0;
        state.counters["x_reference"] = ratio.SpeedRatio();
        animators.clear();
        for (ResourceAnimation* clip : clips)
            clip->Release();
        resources.Close();
    }
    gFileSystem.UnmountAll();
    std::filesystem::remove_all(folder);
}
BENCHMARK(AnimationPoseFrame)->Unit(benchmark::kMillisecond)->Iterations(60);
} // namespace
