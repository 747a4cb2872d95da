// AnimationSampleContext: the working state of one pose computation (the active-animation stack,
// root and root-motion matrices, targeting modes and the node-matrix buffer), reset at the start of
// every pose and reused across meshes. Main thread only.
#pragma once

#include "core/math/Matrix.h"

#include <cstdint>
#include <memory>
#include <vector>

class BaseAnimation;
class MeshSkeleton;
class MeshTemplate;

// An animation taking part in the pose, with the tree node it plays on.
struct ActiveAnimationEntry
{
    BaseAnimation* animation = nullptr;
    int32_t treeNode = 0;
    float weight = 0.0f;          // fader value x Weight
    float effectiveWeight = 0.0f; // its share at the bone being posed
    uint8_t active = 0;
};

// Scratch state of a pose.
class AnimationSampleContext
{
public:
    // Node matrix kIdentityParent is the identity that top-level bones hang from.
    static constexpr uint32_t kNodeMatrixCount = 256;
    static constexpr uint32_t kIdentityParent = 255;

    AnimationSampleContext() : m_nodeMatrices(new Matrix[kNodeMatrixCount]) { Reset(); }

    void Reset()
    {
        stack.clear();
        rootMatrix = Matrix::ONE;
        rootMotion = Matrix::ONE;
        skeleton = nullptr;
        rootMotionBone = -1;
        meshTemplate = nullptr;
        positionScale = 1.0f;
        targetingModes[0] = targetingModes[1] = -1;
        targetingWeights[0] = targetingWeights[1] = 0.0f;
        m_nodeMatrices[kIdentityParent] = Matrix::ONE;
    }

    Matrix* NodeMatrices() { return m_nodeMatrices.get(); }
    const Matrix* NodeMatrices() const { return m_nodeMatrices.get(); }

    // The frame the caller poses for: the logic tick and the frame counters.
    uint32_t frameCounters[2] = {};
    std::vector<ActiveAnimationEntry> stack;
    Matrix rootMatrix;
    Matrix rootMotion;
    const MeshSkeleton* skeleton = nullptr;
    // The skeleton's root-motion bone (-1 none), looked up once per pose.
    int32_t rootMotionBone = -1;
    const MeshTemplate* meshTemplate = nullptr;
    float positionScale = 1.0f;
    // Horizontal mode (2 or 3) and vertical mode (1 or 0), each with |angle| / 90.
    int32_t targetingModes[2] = {-1, -1};
    float targetingWeights[2] = {};

private:
    std::unique_ptr<Matrix[]> m_nodeMatrices;
};
