// The per-bone steps of a pose: the effective weights of the active animations at a bone, the
// blend of their samples, the bone's local and skinning matrices. Plain functions over explicit
// inputs, each checkable with a hand-computed pose. Main thread (no shared state).
#pragma once

#include "effects/animation/AnimationSampleContext.h"
#include "effects/animation/BaseAnimation.h"

#include <cstdint>
#include <vector>

struct AnimationTreeNode;

namespace PoseBlending
{
// From the top of the stack down, entries of one tree node form a group: each entry's effective
// weight is its weight (0 for a procedural animation away from its node's first bone) times what
// the deeper groups left; a group leaves max(0, 1 - its weights' sum) of that to the next.
void ComputeEffectiveWeights(std::vector<ActiveAnimationEntry>& stack, const std::vector<AnimationTreeNode>& nodes,
                             uint32_t bone);
// Blends the samples of the active entries that drive the bone, from the bottom of the stack up:
// each next one takes weight / (sum so far) of the result. False when none drives it.
bool BlendBone(const std::vector<ActiveAnimationEntry>& stack, uint32_t bone, AnimationBoneSample& out);
// TRS of the sample followed by the rest local matrix.
Matrix LocalMatrix(const AnimationBoneSample& sample, const Matrix& rest);
// Inverse bind followed by the node matrix, as three rows of four floats (the transposed upper
// three columns).
void WriteSkinningMatrix(const Matrix& inverseBind, const Matrix& node, float* out12);
} // namespace PoseBlending
