// Skeleton streams of every version: an accepted skeleton's parents, skin indices and tree node
// ranges must stay inside its arrays (the pose walks them unchecked), and it writes back to a
// stream that reads again as the same skeleton.
#include "core/reflection/RecordStream.h"
#include "effects/animation/MeshSkeleton.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint32_t versions[] = {8, 9, 50, 51};
    const uint32_t version = versions[data[0] % 4];
    RecordInput in(data + 1, size - 1);
    MeshSkeleton skeleton;
    if (!skeleton.Read(in, version))
    {
        if (skeleton.GetBoneCount() != 0 || !skeleton.GetTreeNodes().empty())
            __builtin_trap();
        return 0;
    }
    for (uint32_t i = 0; i < skeleton.GetBoneCount(); ++i)
    {
        const MeshSkeletonBone& bone = skeleton.GetBone(i);
        if ((bone.parent != 255 && bone.parent >= i) ||
            (bone.skinIndex != 255 && bone.skinIndex >= skeleton.GetSkinMatrixCount()))
            __builtin_trap();
    }
    for (const AnimationTreeNode& node : skeleton.GetTreeNodes())
        if (node.firstBone < 0 || node.boneCount < 0 ||
            int64_t(node.firstBone) + node.boneCount > int64_t(skeleton.GetBoneCount()))
            __builtin_trap();
    RecordOutput count(nullptr, 0, false);
    skeleton.Write(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    skeleton.Write(out);
    RecordInput again(bytes.data(), bytes.size());
    MeshSkeleton copy;
    if (!copy.Read(again, 51) || copy.GetBoneCount() != skeleton.GetBoneCount() || again.Remaining() != 0)
        __builtin_trap();
    return 0;
}
