#include "effects/animation/MeshSkeleton.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RecordStream.h"

#include <cstring>

namespace
{
bool ReadMatrix(RecordInput& in, Matrix& matrix)
{
    for (Vector& row : matrix.rows)
        if (!in.ReadFloat(row.x) || !in.ReadFloat(row.y) || !in.ReadFloat(row.z) || !in.ReadFloat(row.w))
            return false;
    return true;
}

// A word in the writer's byte order: swapped when asked and the output does not swap already.
void WriteWord(RecordOutput& out, uint32_t value, uint32_t flags)
{
    const bool swap = (flags & MeshSkeleton::kByteSwapFlag) != 0 && !out.ByteSwaps();
    out.WriteU32(swap ? __builtin_bswap32(value) : value);
}

void WriteMatrix(RecordOutput& out, const Matrix& matrix, uint32_t flags)
{
    for (const Vector& row : matrix.rows)
        for (const float value : {row.x, row.y, row.z, row.w})
        {
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            WriteWord(out, bits, flags);
        }
}

// Bone and tree node names are in the name stream form: a u32 length, then the characters.
bool ReadSkeletonName(RecordInput& in, NameString& name)
{
    uint32_t length = 0;
    if (!in.ReadU32(length) || length > in.Remaining())
        return false;
    return name.SetFromStream(length, [&in](char* buffer, uint32_t count) { return in.ReadBytes(buffer, count); });
}

void WriteSkeletonName(RecordOutput& out, const NameString& name, uint32_t flags)
{
    WriteWord(out, name.Length(), flags);
    out.WriteBytes(name.CStr(), name.Length());
}

bool ReadI32(RecordInput& in, int32_t& value)
{
    uint32_t word;
    if (!in.ReadU32(word))
        return false;
    value = int32_t(word);
    return true;
}
} // namespace

bool MeshSkeleton::Read(RecordInput& in, uint32_t version)
{
    Clear();
    uint32_t boneCount = 0;
    uint32_t skinCount = 0;
    // Counts are checked against the bytes left before anything is allocated for them.
    if (!in.ReadU32(boneCount) || !in.ReadU32(skinCount) || boneCount > kMaxBones ||
        size_t(skinCount) * sizeof(Matrix) > in.Remaining())
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Skeleton with %u bones and %u skin matrices is corrupt", boneCount,
                       skinCount);
        return false;
    }
    bool read = true;
    m_rest.resize(boneCount);
    m_bones.resize(boneCount);
    for (uint32_t i = 0; read && i < boneCount; ++i)
        read = ReadMatrix(in, m_rest[i]);
    for (uint32_t i = 0; read && i < boneCount; ++i)
    {
        MeshSkeletonBone& bone = m_bones[i];
        read = ReadSkeletonName(in, bone.name) && in.ReadU8(bone.parent) &&
               in.ReadU8(bone.skinIndex) && (version < 51 || in.ReadU8(bone.flags));
    }
    // The pose walks parents before children and indexes the skin matrices by these bytes.
    for (uint32_t i = 0; read && i < boneCount; ++i)
    {
        const MeshSkeletonBone& bone = m_bones[i];
        if ((bone.parent != kNoBone && bone.parent >= i) || (bone.skinIndex != kNoBone && bone.skinIndex >= skinCount))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Skeleton bone %u (%s) has parent %u and skin index %u of %u", i,
                           bone.name.CStr(), bone.parent, bone.skinIndex, skinCount);
            Clear();
            return false;
        }
    }
    m_inverseBind.resize(read ? skinCount : 0);
    for (uint32_t i = 0; read && i < skinCount; ++i)
        read = ReadMatrix(in, m_inverseBind[i]);
    m_inverseBindColumns.resize(m_inverseBind.size());
    for (size_t i = 0; i < m_inverseBind.size(); ++i)
        m_inverseBindColumns[i].TransposeOf(m_inverseBind[i]);
    uint32_t nodeCount = 0;
    if (read && version >= 9)
        read = in.ReadU32(nodeCount) && size_t(nodeCount) * (4 + 5 * 4) <= in.Remaining();
    m_treeNodes.resize(read ? nodeCount : 0);
    for (uint32_t i = 0; read && i < nodeCount; ++i)
    {
        AnimationTreeNode& node = m_treeNodes[i];
        read = ReadSkeletonName(in, node.name) && ReadI32(in, node.firstBone) &&
               ReadI32(in, node.boneCount) && ReadI32(in, node.parent) && ReadI32(in, node.firstChild) &&
               ReadI32(in, node.nextSibling);
    }
    if (!read)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Skeleton record is cut short");
        Clear();
        return false;
    }
    // Tree nodes are walked by bone range and by their links, which point only forward.
    for (size_t i = 0; i < m_treeNodes.size(); ++i)
    {
        const AnimationTreeNode& node = m_treeNodes[i];
        const int64_t count = int64_t(m_treeNodes.size());
        const bool bones = node.firstBone >= 0 && node.boneCount >= 0 &&
                           int64_t(node.firstBone) + node.boneCount <= int64_t(boneCount);
        const bool links = node.parent < int64_t(i) && node.parent >= -1 &&
                           (node.firstChild == -1 || (node.firstChild > int64_t(i) && node.firstChild < count)) &&
                           (node.nextSibling == -1 || (node.nextSibling > int64_t(i) && node.nextSibling < count));
        if (!bones || !links)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Skeleton tree node %u (%s) lies outside the skeleton", uint32_t(i),
                           node.name.CStr());
            Clear();
            return false;
        }
    }
    FindRootMotionBone();
    BuildRestBlocks();
    return true;
}

void MeshSkeleton::Write(RecordOutput& out, uint32_t flags) const
{
    WriteWord(out, uint32_t(m_bones.size()), flags);
    WriteWord(out, uint32_t(m_inverseBind.size()), flags);
    for (const Matrix& matrix : m_rest)
        WriteMatrix(out, matrix, flags);
    for (const MeshSkeletonBone& bone : m_bones)
    {
        WriteSkeletonName(out, bone.name, flags);
        out.WriteU8(bone.parent);
        out.WriteU8(bone.skinIndex);
        out.WriteU8(bone.flags);
    }
    for (const Matrix& matrix : m_inverseBind)
        WriteMatrix(out, matrix, flags);
    WriteWord(out, uint32_t(m_treeNodes.size()), flags);
    for (const AnimationTreeNode& node : m_treeNodes)
    {
        WriteSkeletonName(out, node.name, flags);
        for (const int32_t value : {node.firstBone, node.boneCount, node.parent, node.firstChild, node.nextSibling})
            WriteWord(out, uint32_t(value), flags);
    }
}

void MeshSkeleton::Clear()
{
    m_rest.clear();
    m_restBlocks.clear();
    m_inverseBind.clear();
    m_inverseBindColumns.clear();
    m_bones.clear();
    m_treeNodes.clear();
    m_rootMotionBone = -1;
}

Matrix MeshSkeleton::GetRestModelMatrix(int32_t bone) const
{
    if (bone < 0 || size_t(bone) >= m_bones.size())
        return Matrix::ONE;
    Matrix model = m_rest[size_t(bone)];
    // Parents precede their children, so the walk up always ends; the count guards corrupt data.
    uint32_t parent = m_bones[size_t(bone)].parent;
    for (uint32_t steps = 0; parent < m_bones.size() && steps < kMaxBones; ++steps)
    {
        model.Mul(m_rest[parent], model);
        parent = m_bones[parent].parent;
    }
    return model;
}

int32_t MeshSkeleton::FindTreeNodeIndex(const NameString& name) const
{
    for (size_t i = 0; i < m_treeNodes.size(); ++i)
        if (m_treeNodes[i].name == name)
            return int32_t(i);
    return -1;
}

void MeshSkeleton::AddBone(const MeshSkeletonBone& bone, const Matrix& rest)
{
    m_bones.push_back(bone);
    m_rest.push_back(rest);
    FindRootMotionBone();
    BuildRestBlocks();
}

void MeshSkeleton::BuildRestBlocks()
{
    m_restBlocks.resize(m_rest.size() / 4);
    for (size_t block = 0; block < m_restBlocks.size(); ++block)
        for (int row = 0; row < 4; ++row)
        {
            __m128 columns[4];
            for (int lane = 0; lane < 4; ++lane)
                columns[lane] = m_rest[block * 4 + size_t(lane)].rows[row].Simd();
            _MM_TRANSPOSE4_PS(columns[0], columns[1], columns[2], columns[3]);
            for (int column = 0; column < 4; ++column)
                m_restBlocks[block].elements[row][column] = columns[column];
        }
}

void MeshSkeleton::AddSkinMatrix(const Matrix& inverseBind)
{
    m_inverseBind.push_back(inverseBind);
    m_inverseBindColumns.emplace_back().TransposeOf(inverseBind);
}

void MeshSkeleton::FindRootMotionBone()
{
    m_rootMotionBone = -1;
    for (size_t i = 0; i < m_bones.size() && m_rootMotionBone < 0; ++i)
        if ((m_bones[i].flags & 1) != 0)
            m_rootMotionBone = int32_t(i);
}

int32_t MeshSkeleton::FindBoneIndex(const NameString& name) const
{
    for (size_t i = 0; i < m_bones.size(); ++i)
        if (m_bones[i].name == name)
            return int32_t(i);
    return -1;
}
