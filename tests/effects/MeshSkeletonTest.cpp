// Skeleton records: the versions' optional parts, refusal of corrupt counts, rest model matrices.
#include "effects/MeshSkeleton.h"

#include "core/reflection/RecordStream.h"
#include "support/ConsoleCapture.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void PutIdentity(std::vector<uint8_t>& out, float ty = 0.0f)
{
    const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, ty, 0, 1};
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(m);
    out.insert(out.end(), bytes, bytes + sizeof(m));
}

MeshSkeleton Chain()
{
    MeshSkeleton skeleton;
    const char* const names[] = {"Hips", "Spine", "Head"};
    for (int i = 0; i < 3; ++i)
    {
        MeshSkeletonBone bone;
        bone.name = NameString(names[i]);
        bone.parent = i == 0 ? 255 : uint8_t(i - 1);
        bone.skinIndex = uint8_t(i + 4);
        bone.flags = uint8_t(i == 0);
        Matrix rest = Matrix::ONE;
        rest.LoadTranslation(0.0f, 1.0f, float(i));
        skeleton.AddBone(bone, rest);
    }
    skeleton.AddSkinMatrix(Matrix::ONE);
    AnimationTreeNode node;
    node.name = NameString("root");
    node.boneCount = 3;
    node.nextSibling = 7;
    skeleton.AddTreeNode(node);
    return skeleton;
}

std::vector<uint8_t> Write(const MeshSkeleton& skeleton)
{
    RecordOutput count(nullptr, 0, false);
    skeleton.Write(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    skeleton.Write(out);
    return bytes;
}
} // namespace

TEST(MeshSkeletonTest, NewestFormReadsBackEqual)
{
    const std::vector<uint8_t> bytes = Write(Chain());
    MeshSkeleton read;
    RecordInput in(bytes.data(), bytes.size());
    ASSERT_TRUE(read.Read(in, 53));
    EXPECT_EQ(in.Remaining(), 0u);
    ASSERT_EQ(read.GetBoneCount(), 3u);
    EXPECT_EQ(read.GetSkinMatrixCount(), 1u);
    EXPECT_STREQ(read.GetBone(2).name.CStr(), "Head");
    EXPECT_EQ(read.GetBone(2).parent, 1);
    EXPECT_EQ(read.GetBone(2).skinIndex, 6);
    EXPECT_EQ(read.GetBone(0).flags, 1);
    EXPECT_FLOAT_EQ(read.GetRestMatrix(2).rows[3].z, 2.0f);
    ASSERT_EQ(read.GetTreeNodes().size(), 1u);
    EXPECT_EQ(read.GetTreeNodes()[0].boneCount, 3);
    EXPECT_EQ(read.GetTreeNodes()[0].nextSibling, 7);
    EXPECT_EQ(read.FindTreeNodeIndex(NameString("root")), 0);
    EXPECT_EQ(Write(read), bytes);
}

TEST(MeshSkeletonTest, OldVersionsLackTheFlagsByteAndTheTreeNodes)
{
    // Version 8: one bone "h", no flags byte (before 51), no tree node count (before 9).
    std::vector<uint8_t> bytes;
    PutU32(bytes, 1);
    PutU32(bytes, 0);
    PutIdentity(bytes, 3.0f);
    bytes.insert(bytes.end(), {1, 'h', 0, 255, 9});
    MeshSkeleton skeleton;
    RecordInput in(bytes.data(), bytes.size());
    ASSERT_TRUE(skeleton.Read(in, 8));
    EXPECT_EQ(in.Remaining(), 0u);
    EXPECT_STREQ(skeleton.GetBone(0).name.CStr(), "h");
    EXPECT_EQ(skeleton.GetBone(0).skinIndex, 9);
    EXPECT_EQ(skeleton.GetBone(0).flags, 0);
    EXPECT_TRUE(skeleton.GetTreeNodes().empty());

    // Version 50 has the node count but still no flags byte.
    PutU32(bytes, 0);
    RecordInput in50(bytes.data(), bytes.size());
    ASSERT_TRUE(skeleton.Read(in50, 50));
    EXPECT_EQ(in50.Remaining(), 0u);
}

TEST(MeshSkeletonTest, CorruptOrShortRecordsAreRefusedAndLeaveItEmpty)
{
    ConsoleCapture console;
    std::vector<uint8_t> bytes;
    PutU32(bytes, 256);
    PutU32(bytes, 0);
    MeshSkeleton skeleton = Chain();
    RecordInput tooMany(bytes.data(), bytes.size());
    EXPECT_FALSE(skeleton.Read(tooMany, 53));
    EXPECT_EQ(skeleton.GetBoneCount(), 0u);

    std::vector<uint8_t> whole = Write(Chain());
    whole.pop_back();
    RecordInput cut(whole.data(), whole.size());
    EXPECT_FALSE(skeleton.Read(cut, 53));
    EXPECT_EQ(skeleton.GetBoneCount(), 0u);
    EXPECT_TRUE(skeleton.GetTreeNodes().empty());
    EXPECT_TRUE(console.Contains("Skeleton record is cut short", 4));
}

TEST(MeshSkeletonTest, RestModelMatrixChainsTheAncestors)
{
    const MeshSkeleton skeleton = Chain();
    const Matrix head = skeleton.GetRestModelMatrix(2);
    EXPECT_FLOAT_EQ(head.rows[3].y, 3.0f);
    EXPECT_FLOAT_EQ(head.rows[3].z, 3.0f);
    EXPECT_TRUE(skeleton.GetRestModelMatrix(-1).Equals(Matrix::ONE));
    EXPECT_TRUE(skeleton.GetRestModelMatrix(3).Equals(Matrix::ONE));
}
