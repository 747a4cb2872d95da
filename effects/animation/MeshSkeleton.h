// MeshSkeleton: the bones and animation tree nodes of a mesh template, read from and written to the
// template body. Built on the resource thread while the template loads (its tree nodes rebuilt by
// AnimationTreeDefinition when the template initialises), read-only on the main thread afterwards.
#pragma once

#include "core/math/Matrix.h"
#include "core/strings/NameString.h"

#include <xmmintrin.h>

#include <cstdint>
#include <utility>
#include <vector>

class RecordInput;
class RecordOutput;

// One bone: its name, parent bone (255 none), skin index (255 not skinned) and flags (bit 0 root motion).
struct MeshSkeletonBone
{
    NameString name;
    uint8_t parent = 255;
    uint8_t skinIndex = 255;
    uint8_t flags = 0;
};

// A named group of bones on which animations start independently.
struct AnimationTreeNode
{
    NameString name;
    int32_t firstBone = 0;
    int32_t boneCount = 0;
    int32_t parent = -1;
    int32_t firstChild = -1;
    int32_t nextSibling = -1;
};

// The rest matrices of four consecutive bones, one bone per lane: element [row][column] of each.
struct MeshRestBlock
{
    __m128 elements[4][4];
};

// Bones in depth-first order with rest and inverse bind matrices, and the animation tree.
class MeshSkeleton
{
public:
    // A pose keeps node matrix 255 as the identity parent, so no skeleton has more bones.
    static constexpr uint32_t kMaxBones = 255;
    static constexpr uint8_t kNoBone = 255;
    // Writer flag: every u32 and matrix float byte-swapped.
    static constexpr uint32_t kByteSwapFlag = 2;

    MeshSkeleton() = default;

    // Frees what the skeleton held, then reads the stream form of the given body version; false
    // (logged) on a short or corrupt record (a parent not before its bone, a skin index past the
    // skin matrices, a tree node outside the bones), leaving the skeleton empty.
    bool Read(RecordInput& in, uint32_t version);
    // The newest form: flags bytes and tree nodes always present; kByteSwapFlag swaps the words.
    void Write(RecordOutput& out, uint32_t flags = 0) const;
    void Clear();

    uint32_t GetBoneCount() const { return uint32_t(m_bones.size()); }
    uint32_t GetSkinMatrixCount() const { return uint32_t(m_inverseBind.size()); }
    const MeshSkeletonBone& GetBone(uint32_t index) const { return m_bones[index]; }
    const Matrix& GetRestMatrix(uint32_t index) const { return m_rest[index]; }
    // The rest matrices of bones first..first + 3 as one block when first is a multiple of four
    // (poses work on such groups), else null.
    const MeshRestBlock* GetRestBlock(uint32_t first) const
    {
        return first % 4 == 0 && first / 4 < m_restBlocks.size() ? &m_restBlocks[first / 4] : nullptr;
    }
    const Matrix& GetInverseBindMatrix(uint32_t skinIndex) const { return m_inverseBind[skinIndex]; }
    // The transpose of the inverse bind matrix: its columns as rows, which is the form a pose
    // writes the transposed skinning matrices from.
    const Matrix& GetInverseBindColumns(uint32_t skinIndex) const { return m_inverseBindColumns[skinIndex]; }
    // The first bone flagged for root motion, -1 if none.
    int32_t GetRootMotionBone() const { return m_rootMotionBone; }
    // Index of the bone with that name, -1 if none.
    int32_t FindBoneIndex(const NameString& name) const;
    // Replaces the tree nodes (the tree definition's parse).
    void SetTreeNodes(std::vector<AnimationTreeNode> nodes) { m_treeNodes = std::move(nodes); }
    const std::vector<AnimationTreeNode>& GetTreeNodes() const { return m_treeNodes; }
    // The bone's rest matrix followed by each ancestor's: model space at rest (identity out of range).
    Matrix GetRestModelMatrix(int32_t bone) const;
    // Index of the tree node with that name, -1 if none.
    int32_t FindTreeNodeIndex(const NameString& name) const;

    // Builders for tools and tests.
    void AddBone(const MeshSkeletonBone& bone, const Matrix& rest);
    void AddSkinMatrix(const Matrix& inverseBind);
    void AddTreeNode(const AnimationTreeNode& node) { m_treeNodes.push_back(node); }

private:
    void FindRootMotionBone();
    // Blocks for every whole group of four bones.
    void BuildRestBlocks();

    std::vector<Matrix> m_rest;
    std::vector<MeshRestBlock> m_restBlocks;
    std::vector<Matrix> m_inverseBind;
    std::vector<Matrix> m_inverseBindColumns;
    std::vector<MeshSkeletonBone> m_bones;
    std::vector<AnimationTreeNode> m_treeNodes;
    int32_t m_rootMotionBone = -1; // asked once per pose
};
