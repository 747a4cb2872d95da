#include "effects/MeshSkeleton.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIValueTraits.h"
#include "core/reflection/RecordStream.h"

namespace
{
bool ReadMatrix(RecordInput& in, Matrix& matrix)
{
    for (Vector& row : matrix.rows)
        if (!in.ReadFloat(row.x) || !in.ReadFloat(row.y) || !in.ReadFloat(row.z) || !in.ReadFloat(row.w))
            return false;
    return true;
}

void WriteMatrix(RecordOutput& out, const Matrix& matrix)
{
    for (const Vector& row : matrix.rows)
    {
        out.WriteFloat(row.x);
        out.WriteFloat(row.y);
        out.WriteFloat(row.z);
        out.WriteFloat(row.w);
    }
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
        read = RTTIValueTraits<NameString>::Read(in, bone.name) && in.ReadU8(bone.parent) &&
               in.ReadU8(bone.skinIndex) && (version < 51 || in.ReadU8(bone.flags));
    }
    m_inverseBind.resize(read ? skinCount : 0);
    for (uint32_t i = 0; read && i < skinCount; ++i)
        read = ReadMatrix(in, m_inverseBind[i]);
    uint32_t nodeCount = 0;
    if (read && version >= 9)
        read = in.ReadU32(nodeCount) && size_t(nodeCount) * (1 + 5 * 4) <= in.Remaining();
    m_treeNodes.resize(read ? nodeCount : 0);
    for (uint32_t i = 0; read && i < nodeCount; ++i)
    {
        AnimationTreeNode& node = m_treeNodes[i];
        read = RTTIValueTraits<NameString>::Read(in, node.name) && ReadI32(in, node.firstBone) &&
               ReadI32(in, node.boneCount) && ReadI32(in, node.parent) && ReadI32(in, node.firstChild) &&
               ReadI32(in, node.nextSibling);
    }
    if (!read)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Skeleton record is cut short");
        Clear();
    }
    return read;
}

void MeshSkeleton::Write(RecordOutput& out) const
{
    out.WriteU32(uint32_t(m_bones.size()));
    out.WriteU32(uint32_t(m_inverseBind.size()));
    for (const Matrix& matrix : m_rest)
        WriteMatrix(out, matrix);
    for (const MeshSkeletonBone& bone : m_bones)
    {
        RTTIValueTraits<NameString>::Write(out, bone.name);
        out.WriteU8(bone.parent);
        out.WriteU8(bone.skinIndex);
        out.WriteU8(bone.flags);
    }
    for (const Matrix& matrix : m_inverseBind)
        WriteMatrix(out, matrix);
    out.WriteU32(uint32_t(m_treeNodes.size()));
    for (const AnimationTreeNode& node : m_treeNodes)
    {
        RTTIValueTraits<NameString>::Write(out, node.name);
        out.WriteU32(uint32_t(node.firstBone));
        out.WriteU32(uint32_t(node.boneCount));
        out.WriteU32(uint32_t(node.parent));
        out.WriteU32(uint32_t(node.firstChild));
        out.WriteU32(uint32_t(node.nextSibling));
    }
}

void MeshSkeleton::Clear()
{
    m_rest.clear();
    m_inverseBind.clear();
    m_bones.clear();
    m_treeNodes.clear();
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
}
