// MeshEntity's segment test: the template's collision box or its mesh triangles, in local space.
#include "scene/kinds/MeshEntity.h"

#include "core/memory/FrameRingAllocator.h"
#include "renderer/MeshTemplateRenderingData.h"
#include "scene/kinds/MeshRayPick.h"
#include "scene/kinds/MeshTemplate.h"

namespace
{
// The collision type the query asks the template for.
uint32_t CollisionTypeFor(const MeshTemplate& meshTemplate, uint32_t flags)
{
    if ((flags & PICK_PLAYER_COLLISION) != 0)
        return meshTemplate.GetPlayerCollisionType();
    if ((flags & PICK_EXACT_LOS) != 0)
        return meshTemplate.GetExactLOSCollisionType();
    return meshTemplate.GetRoughLOSCollisionType();
}
} // namespace

bool MeshEntity::RayPick(const Vector& start, const Vector& end, uint32_t flags, uint32_t mask, LOSResult& result)
{
    const MeshTemplate* const meshTemplate = GetMeshTemplate();
    if (meshTemplate == nullptr || (meshTemplate->GetLOSMask() & mask) != 0)
        return true;
    if ((flags & PICK_SKIP_DISABLED_LOS) != 0 && HasFlag(ENTITYFLAG_DISABLE_LOS))
        return true;
    uint32_t type = CollisionTypeFor(*meshTemplate, flags);
    const uint32_t bothKinds = PICK_EXACT_LOS | PICK_PLAYER_COLLISION;
    if (type == MeshTemplate::COLLISION_BOX && (flags & bothKinds) == bothKinds)
        type = MeshTemplate::COLLISION_FACE;
    if (type != MeshTemplate::COLLISION_BOX && type != MeshTemplate::COLLISION_FACE)
        return true;
    const Matrix& inverse = GetInversedGlobalLocationMatrix();
    Vector localStart = start;
    Vector localEnd = end;
    localStart.Transform3D(inverse);
    localEnd.Transform3D(inverse);
    const Matrix& world = GetGlobalLocationMatrix();
    if (type == MeshTemplate::COLLISION_BOX)
    {
        const BoundingBox4& box =
            (flags & PICK_LOCAL_BOX) != 0 ? GetLocalBoundingBox() : meshTemplate->GetEffectiveCollisionBox();
        Vector hit;
        if (!box.CollidesWithSegment3D(localStart, localEnd, hit))
            return true;
        hit.Transform3D(world);
        hit.w = 1.0f;
        result.hitPoint = hit;
        result.direction.Sub(end, start);
        result.direction.w = 0.0f;
        result.hit = 1;
        result.entity = this;
        return false;
    }
    const float* const skinned = GetSkinnedPickingPositions();
    const bool noHit =
        skinned != nullptr
            ? MeshRayPick::TestTriangles(*meshTemplate, localStart, localEnd, flags, result,
                                         MeshTemplateRenderingData::kLayoutFloat,
                                         reinterpret_cast<const uint8_t*>(skinned), 12, m_presetIndex)
            : MeshRayPick::TestTriangles(*meshTemplate, localStart, localEnd, flags, result, 0, nullptr, 0,
                                         m_presetIndex);
    if (noHit)
        return true;
    result.hitPoint.Transform3D(world);
    result.hitPoint.w = 1.0f;
    // A face normal goes to world space by the inverse transpose, so that it stays perpendicular
    // to the face under non-uniform scale.
    const Vector local = result.direction;
    result.direction.Set(inverse.rows[0].Dot3(local), inverse.rows[1].Dot3(local), inverse.rows[2].Dot3(local), 0.0f);
    result.hit = 1;
    result.entity = this;
    return false;
}

const float* MeshEntity::GetSkinnedPickingPositions()
{
    const MeshTemplate* const meshTemplate = GetMeshTemplate();
    const MeshTemplateRenderingData* const data = meshTemplate != nullptr ? meshTemplate->GetRenderingData() : nullptr;
    if (m_animator == nullptr || data == nullptr || data->GetPickingVertices() == nullptr ||
        (data->GetPickingLayout() & MeshTemplateRenderingData::kLayoutSkinned) == 0 ||
        m_animator->GetSkinningMatrices().empty())
        return nullptr;
    // Picking sees this tick's pose, also before the first tick walk reached the mesh.
    Animate();
    if (const float* cached = m_animator->GetFrameSkinnedVertices(gFrameRingAllocator.GetGeneration()))
        return cached;
    void* memory = nullptr;
    uint32_t generation = 0;
    if (!gFrameRingAllocator.Allocate(data->GetVertexCount() * 12, memory, generation))
        return nullptr;
    auto* const positions = static_cast<float*>(memory);
    const MeshPositionDecoding decoding{data->GetPositionOffset(), data->GetPositionScale()};
    if (!MeshRayPick::SkinPositions(data->GetPickingLayout(), data->GetPickingVertices(), data->GetPickingStride(),
                                    data->GetVertexCount(), m_animator->GetSkinningMatrices().data(),
                                    m_animator->GetSkinMatrixCount(), decoding, positions))
        return nullptr;
    m_animator->SetFrameSkinnedVertices(positions, generation);
    return positions;
}
