// Shared set-up of the animation tests: a resource manager over a temporary "Animations" folder in
// which the data kit writes clips, the game clock from a known start, and a three-bone skeleton
// Root > Arm > Hand (Arm one unit above Root, Hand one above Arm). Test thread only.
#pragma once

#include "core/filesystem/FileSystem.h"
#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/MeshAnimator.h"
#include "effects/animation/MeshSkeleton.h"
#include "engine/Game.h"
#include "renderer/resources/ResourceAnimation.h"
#include "renderer/resources/ResourceManager.h"
#include "support/ConsoleCapture.h"
#include "support/TempFolder.h"
#include "tools/datakit/AnimationFileWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// Records what an animation tells its callback object, in order.
class RecordingCallback : public AnimationCallbackObject
{
public:
    void AnimationEnded(int32_t id, int32_t ranToEnd) override
    {
        calls.push_back("ended " + std::to_string(id) + " " + std::to_string(ranToEnd));
    }
    void CallbackPointReached(int32_t id) override { calls.push_back("point " + std::to_string(id)); }
    std::vector<std::string> calls;
};

class AnimationClipFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_folder / "Animations");
        ASSERT_TRUE(gFileSystem.MountDirectory("Animations", (m_folder / "Animations").c_str()));
        ASSERT_TRUE(m_manager.Init());
        gGame.GetGameTimer().Reset();
        m_skeleton = Chain({"Root", "Arm", "Hand"});
    }
    void TearDown() override
    {
        for (ResourceAnimation* clip : m_clips)
            clip->Release();
        m_manager.Close();
        gFileSystem.UnmountAll();
    }

    // Bones in a chain; every bone skinned with an identity inverse bind; one tree node "root".
    static MeshSkeleton Chain(const std::vector<std::pair<const char*, uint8_t>>& bones)
    {
        MeshSkeleton skeleton;
        for (size_t i = 0; i < bones.size(); ++i)
        {
            MeshSkeletonBone bone;
            bone.name = NameString(bones[i].first);
            bone.parent = bones[i].second;
            bone.skinIndex = uint8_t(i);
            Matrix rest = Matrix::ONE;
            if (i > 0)
                rest.LoadTranslation(0.0f, 1.0f, 0.0f);
            skeleton.AddBone(bone, rest);
            skeleton.AddSkinMatrix(Matrix::ONE);
        }
        AnimationTreeNode root;
        root.name = NameString("root");
        root.boneCount = int32_t(bones.size());
        skeleton.AddTreeNode(root);
        return skeleton;
    }
    static MeshSkeleton Chain(const std::vector<const char*>& names)
    {
        std::vector<std::pair<const char*, uint8_t>> bones;
        for (size_t i = 0; i < names.size(); ++i)
            bones.emplace_back(names[i], i == 0 ? uint8_t(255) : uint8_t(i - 1));
        return Chain(bones);
    }

    // A clip whose named tracks move along x: keys (progress, x) for the position channel.
    ResourceAnimation* Clip(const std::string& name,
                            const std::vector<std::pair<std::string, std::vector<std::pair<float, float>>>>& tracks)
    {
        AnimationClipSpec spec;
        for (const auto& [bone, keys] : tracks)
        {
            AnimationClipSpec::Track track;
            track.name = bone;
            for (const auto& [time, x] : keys)
                track.position.push_back({time, Vector(x, 0.0f, 0.0f, 0.0f)});
            spec.tracks.push_back(track);
        }
        return Write(name, spec);
    }
    ResourceAnimation* Write(const std::string& name, const AnimationClipSpec& spec)
    {
        EXPECT_TRUE(AnimationFileWriter::Write(m_folder / ("Animations/" + name + ".bin"), spec));
        Resource* resource = m_manager.GetResource(RESOURCE_TYPE_ANIMATION, name.c_str(), 0, true, 0);
        resource->Load(true);
        resource->WaitUntilLoaded(false);
        EXPECT_TRUE(resource->IsLoaded()) << name;
        m_clips.push_back(static_cast<ResourceAnimation*>(resource));
        return m_clips.back();
    }

    static void Tick(float seconds) { gGame.GetGameTimer().Tick(seconds); }
    // The next pose of a new frame.
    void Pose(MeshAnimator& animator, const MeshSkeleton& skeleton, float scale = 1.0f)
    {
        ++m_context.frameCounters[1];
        animator.UpdatePose(m_context, skeleton, scale, nullptr);
    }
    const Matrix& Node(uint32_t bone) const { return m_context.NodeMatrices()[bone]; }

    ConsoleCapture m_log;
    TempFolder m_folder;
    ResourceManager m_manager;
    std::vector<ResourceAnimation*> m_clips;
    MeshSkeleton m_skeleton;
    AnimationSampleContext m_context;
};
