// Skeleton records: the versions' optional parts, refusal of corrupt counts and indices, the
// byte-swapped writer, rest model matrices.
#include "effects/animation/MeshSkeleton.h"

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
    for (int i = 0; i < 7; ++i)
        skeleton.AddSkinMatrix(Matrix::ONE);
    AnimationTreeNode node;
    node.name = NameString("root");
    node.boneCount = 3;
    node.firstChild = 1;
    skeleton.AddTreeNode(node);
    AnimationTreeNode spine;
    spine.name = NameString("spine");
    spine.firstBone = 1;
    spine.boneCount = 2;
    spine.parent = 0;
    skeleton.AddTreeNode(spine);
    return skeleton;
}

std::vector<uint8_t> Write(const MeshSkeleton& skeleton, uint32_t flags = 0)
{
    RecordOutput count(nullptr, 0, false);
    skeleton.Write(count, flags);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    skeleton.Write(out, flags);
    return bytes;
}

// Two bones "h" (skin 0) and "c" (child of h, not skinned), one skin matrix, and for the versions that
// have them the flags bytes (h is the root-motion bone) and one tree node "root" over both bones.
std::vector<uint8_t> HandWritten(uint32_t version)
{
    std::vector<uint8_t> bytes;
    PutU32(bytes, 2);
    PutU32(bytes, 1);
    PutIdentity(bytes, 3.0f);
    PutIdentity(bytes, 1.0f);
    // Names in the name stream form: a u32 length, then the characters without a terminator.
    PutU32(bytes, 1);
    bytes.insert(bytes.end(), {'h', 255, 0});
    if (version >= 51)
        bytes.push_back(1);
    PutU32(bytes, 1);
    bytes.insert(bytes.end(), {'c', 0, 255});
    if (version >= 51)
        bytes.push_back(0);
    PutIdentity(bytes, -2.0f);
    if (version >= 9)
    {
        PutU32(bytes, 1);
        PutU32(bytes, 4);
        bytes.insert(bytes.end(), {'r', 'o', 'o', 't'});
        for (const uint32_t word : {0u, 2u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu})
            PutU32(bytes, word);
    }
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
    EXPECT_EQ(read.GetSkinMatrixCount(), 7u);
    EXPECT_STREQ(read.GetBone(2).name.CStr(), "Head");
    EXPECT_EQ(read.GetBone(2).parent, 1);
    EXPECT_EQ(read.GetBone(2).skinIndex, 6);
    EXPECT_EQ(read.GetBone(0).flags, 1);
    EXPECT_EQ(read.GetRootMotionBone(), 0);
    EXPECT_EQ(read.FindBoneIndex(NameString("Head")), 2);
    EXPECT_FLOAT_EQ(read.GetRestMatrix(2).rows[3].z, 2.0f);
    ASSERT_EQ(read.GetTreeNodes().size(), 2u);
    EXPECT_EQ(read.GetTreeNodes()[0].boneCount, 3);
    EXPECT_EQ(read.GetTreeNodes()[0].firstChild, 1);
    EXPECT_EQ(read.GetTreeNodes()[1].firstBone, 1);
    EXPECT_EQ(read.FindTreeNodeIndex(NameString("spine")), 1);
    EXPECT_EQ(Write(read), bytes);
}

TEST(MeshSkeletonTest, HandWrittenStreamsOfEveryVersionReadAndWriteBack)
{
    for (const uint32_t version : {8u, 9u, 50u, 51u})
    {
        SCOPED_TRACE(version);
        const std::vector<uint8_t> bytes = HandWritten(version);
        MeshSkeleton skeleton;
        RecordInput in(bytes.data(), bytes.size());
        ASSERT_TRUE(skeleton.Read(in, version));
        EXPECT_EQ(in.Remaining(), 0u);
        ASSERT_EQ(skeleton.GetBoneCount(), 2u);
        EXPECT_STREQ(skeleton.GetBone(1).name.CStr(), "c");
        EXPECT_EQ(skeleton.GetBone(1).parent, 0);
        EXPECT_EQ(skeleton.GetBone(0).skinIndex, 0);
        EXPECT_EQ(skeleton.GetBone(1).skinIndex, 255);
        EXPECT_EQ(skeleton.GetRootMotionBone(), version >= 51 ? 0 : -1);
        EXPECT_FLOAT_EQ(skeleton.GetRestMatrix(0).rows[3].y, 3.0f);
        EXPECT_FLOAT_EQ(skeleton.GetInverseBindMatrix(0).rows[3].y, -2.0f);
        EXPECT_FLOAT_EQ(skeleton.GetInverseBindColumns(0).rows[1].w, -2.0f) << "the pose's transposed copy";
        EXPECT_EQ(skeleton.GetTreeNodes().size(), version >= 9 ? 1u : 0u);
        // The writer always writes the newest form, which is the version 51 stream once the tree
        // node is there.
        if (version >= 51)
        {
            EXPECT_EQ(Write(skeleton), bytes);
        }
    }
}

TEST(MeshSkeletonTest, ByteSwappedWriterSwapsEveryWordAndFloatButNotTheBytes)
{
    const MeshSkeleton skeleton = Chain();
    const std::vector<uint8_t> plain = Write(skeleton);
    const std::vector<uint8_t> swapped = Write(skeleton, MeshSkeleton::kByteSwapFlag);
    ASSERT_EQ(plain.size(), swapped.size());
    // Bone count, skin count, then the first rest matrix's 16 floats: each 4-byte group reversed.
    for (size_t word = 0; word < 2 + 16; ++word)
        for (size_t b = 0; b < 4; ++b)
            ASSERT_EQ(swapped[word * 4 + b], plain[word * 4 + 3 - b]) << word;
    // The first bone record follows the three rest matrices: its name's length word is swapped, its
    // characters and its three bytes are not.
    const size_t bones = 8 + 3 * 64;
    EXPECT_EQ(std::vector<uint8_t>(plain.begin() + bones, plain.begin() + bones + 11),
              (std::vector<uint8_t>{4, 0, 0, 0, 'H', 'i', 'p', 's', 255, 4, 1}));
    EXPECT_EQ(std::vector<uint8_t>(swapped.begin() + bones, swapped.begin() + bones + 11),
              (std::vector<uint8_t>{0, 0, 0, 4, 'H', 'i', 'p', 's', 255, 4, 1}));
    // The last node's first bone (1) is the fifth word from the end.
    const size_t at = plain.size() - 20;
    EXPECT_EQ(std::vector<uint8_t>(plain.begin() + at, plain.begin() + at + 4), (std::vector<uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(std::vector<uint8_t>(swapped.begin() + at, swapped.begin() + at + 4), (std::vector<uint8_t>{0, 0, 0, 1}));
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
    const uint8_t countOnly[] = {3, 0, 0, 0};
    RecordInput noSkinCount(countOnly, sizeof(countOnly));
    EXPECT_FALSE(skeleton.Read(noSkinCount, 53));
    EXPECT_TRUE(console.Contains("Skeleton with 3 bones and 0 skin matrices is corrupt", 4));
    MeshSkeleton widest;
    for (int i = 0; i < 255; ++i)
        widest.AddBone(MeshSkeletonBone(), Matrix::ONE);
    const std::vector<uint8_t> most = Write(widest);
    RecordInput fits(most.data(), most.size());
    EXPECT_TRUE(skeleton.Read(fits, 53)) << "255 bones are the most there may be";

    std::vector<uint8_t> whole = Write(Chain());
    whole.pop_back();
    // Parents after their bone, skin indices past the matrices and tree nodes outside the bones
    // would send the pose out of its arrays.
    struct Case
    {
        const char* name;
        size_t offset; // into the hand-written version 51 stream
        uint8_t value;
    };
    const size_t firstBone = 8 + 2 * 64;
    const Case cases[] = {
        {"bone parent is itself", firstBone + 8 + 5, 1},
        {"skin index past the matrices", firstBone + 8 + 6, 1},
        {"tree node runs past the bones", firstBone + 16 + 64 + 4 + 8 + 4, 3},
        {"bone name longer than the record", firstBone, 0xF0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = HandWritten(51);
        bad[c.offset] = c.value;
        RecordInput in(bad.data(), bad.size());
        MeshSkeleton corrupt = Chain();
        EXPECT_FALSE(corrupt.Read(in, 51));
        EXPECT_EQ(corrupt.GetBoneCount(), 0u);
    }
    EXPECT_TRUE(console.Contains("has parent 1 and skin index", 4));
    EXPECT_TRUE(console.Contains("Skeleton tree node 0 (root) lies outside the skeleton", 4));
    // A bone name longer than the bytes left leaves bytes enough for a skin matrix, which are not read.
    std::vector<uint8_t> unended;
    PutU32(unended, 1);
    PutU32(unended, 1);
    PutIdentity(unended);
    PutU32(unended, 81);
    unended.insert(unended.end(), 80, 'x');
    RecordInput nameCut(unended.data(), unended.size());
    EXPECT_FALSE(MeshSkeleton().Read(nameCut, 53));
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
