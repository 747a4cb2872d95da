// Entity transforms: local and world matrices, cached decompositions, propagation to descendants
// and the per-entity transform push (context, world box, grid, occupancy, sound). Main thread only.
#include "scene/entities/Entity.h"

#include "core/math/SimdTransforms.h"
#include "renderer/EntityRenderingContext.h"
#include "scene/entities/EntityManager.h"
#include "scene/entities/PathGrid.h"
#include "scene/entities/TriggerOccupancyTracker.h"

#include <cmath>
#include <memory>

namespace
{
// The shared list of a propagation. A propagation started while another runs (an UpdateTransform
// override that moves another entity) gets a list of its own, so the outer walk keeps its entries.
class PropagationScratch
{
public:
    PropagationScratch()
    {
        if (!sInUse)
        {
            sInUse = true;
            m_shared = true;
            m_buffer = Shared();
        }
        else
        {
            m_owned = std::make_unique<EntityListEntry[]>(kMaxEntities);
            m_buffer = m_owned.get();
        }
    }
    ~PropagationScratch()
    {
        if (m_shared)
            sInUse = false;
    }
    PropagationScratch(const PropagationScratch&) = delete;
    PropagationScratch& operator=(const PropagationScratch&) = delete;

    EntityListEntry* Buffer() const { return m_buffer; }

private:
    static EntityListEntry* Shared()
    {
        static EntityListEntry* const buffer = new EntityListEntry[kMaxEntities];
        return buffer;
    }

    static bool sInUse;
    bool m_shared = false;
    std::unique_ptr<EntityListEntry[]> m_owned;
    EntityListEntry* m_buffer = nullptr;
};

bool PropagationScratch::sInUse = false;

// World matrices are affine (last column 0, 0, 0, 1): the 3x3 part decides the sign. Row a
// against the cross product of rows b and c, summed x, then y, then z: the same products and
// sums, in the same order, as the cofactor expansion along a.
float AffineDeterminant(const Matrix& m)
{
    const __m128 a = m.rows[0].Simd();
    const __m128 b = m.rows[1].Simd();
    const __m128 c = m.rows[2].Simd();
    const __m128 cross = _mm_sub_ps(
        _mm_mul_ps(_mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 0, 2, 1)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 1, 0, 2))),
        _mm_mul_ps(_mm_shuffle_ps(b, b, _MM_SHUFFLE(3, 1, 0, 2)), _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 0, 2, 1))));
    const __m128 terms = _mm_mul_ps(a, cross);
    const __m128 xy = _mm_add_ss(terms, _mm_shuffle_ps(terms, terms, _MM_SHUFFLE(1, 1, 1, 1)));
    return _mm_cvtss_f32(_mm_add_ss(xy, _mm_shuffle_ps(terms, terms, _MM_SHUFFLE(2, 2, 2, 2))));
}

float AxisLength2(const Vector& row)
{
    return row.x * row.x + row.y * row.y + row.z * row.z;
}
} // namespace

void Entity::InvalidateLocalCaches()
{
    m_localRotationValid = 0;
    m_localScaleValid = 0;
}

void Entity::InvalidateGlobalCaches()
{
    // Written only when set: a move that leaves the entity's own lines unwritten spares their
    // write-back to memory.
    if ((m_globalRotationValid | m_globalScaleValid | m_inverseWorldValid) == 0)
        return;
    m_globalRotationValid = 0;
    m_globalScaleValid = 0;
    m_inverseWorldValid = 0;
}

inline void Entity::TakeWorldAxes(uint8_t fromParent)
{
    const uint8_t axes = fromParent | (AffineDeterminant(m_spatial->world) < 0.0f ? EntitySpatialRecord::kAxesMirrored : 0);
    // Written only when it changes: a line left clean needs no write-back.
    if (m_spatial->worldAxes != axes)
        m_spatial->worldAxes = axes;
}

inline void Entity::ComputeWorldFromParent(bool positionOnly)
{
    EntitySpatialRecord& spatial = *m_spatial;
    if (m_parent == nullptr)
    {
        spatial.world = spatial.local;
        TakeWorldAxes(0);
        return;
    }
    if ((m_flags & ENTITYFLAG_PARENTNOSCALE) == 0)
    {
        const Matrix& parent = m_parent->m_spatial->world;
        // Each row of the product is its local row times the parent's world: with the other rows
        // as the last full product left them, the last one alone is all that changes.
        if (positionOnly && (spatial.worldAxes & EntitySpatialRecord::kAxesFromParent) != 0)
        {
            spatial.world.rows[3].SetSimd(RowTimesMatrix(spatial.local.rows[3].Simd(), parent));
            return;
        }
        MatrixProduct(spatial.world, spatial.local, parent);
        TakeWorldAxes(EntitySpatialRecord::kAxesFromParent);
        return;
    }
    ComputeWorldFromUnscaledParent();
}

void Entity::ComputeWorldFromUnscaledParent()
{
    Matrix parent = m_parent->m_spatial->world;
    for (int row = 0; row < 3; ++row)
        parent.rows[row].Normalize();
    m_spatial->world.Mul(parent, m_spatial->local);
    TakeWorldAxes(0);
}

void Entity::PropagateTransform(bool childrenOnly, bool positionOnly)
{
    if (m_gridPlacementHeld > kGridHeld)
    {
        // A loading entity in the making: its record places it. Its local rows and its world may
        // have changed without its world or its children's being made from them.
        if ((m_gridPlacementHeld & kTransformDeferred) != 0)
        {
            m_gridPlacementHeld |= kTransformPending;
            m_spatial->worldAxes &= uint8_t(~EntitySpatialRecord::kAxesFromParent);
            for (Entity* child : m_children)
                child->m_spatial->worldAxes &= uint8_t(~EntitySpatialRecord::kAxesFromParent);
            return;
        }
        m_gridPlacementHeld &= uint8_t(~kTransformPending);
    }
    // Most moves are of leaves: no list to build.
    if (m_children.IsEmpty())
    {
        if (!childrenOnly)
        {
            ComputeWorldFromParent(positionOnly);
            InvalidateGlobalCaches();
            UpdateTransform();
        }
        return;
    }
    PropagateToDescendants(childrenOnly);
}

void Entity::PropagateToDescendants(bool childrenOnly)
{
    PropagationScratch scratch;
    EntityListEntry* const list = scratch.Buffer();
    const uint32_t count = ListMeAndChildren(list, kMaxEntities);
    for (uint32_t i = childrenOnly ? 1 : 0; i < count; ++i)
    {
        Entity* const entity = list[i].entity;
        entity->ComputeWorldFromParent(false);
        entity->InvalidateGlobalCaches();
        entity->UpdateTransform();
    }
}

inline void Entity::ComputeWorldBoundingBox(BoundingBox4& box) const
{
    // An empty or unbounded local box (the default template box) places nothing in the world.
    if (m_spatial->localBoxPlaces == 0)
    {
        box = BoundingBox4::INVALID;
        return;
    }
    __m128 min, max;
    PlaceBoxLanes(m_spatial->localBox, m_spatial->world, min, max);
    box.min.SetSimd(min);
    box.max.SetSimd(max);
}

void Entity::SetLocalBoundingBox(const BoundingBox4& box)
{
    m_spatial->localBox = box;
    m_spatial->localBoxPlaces = PathGrid::IsValidBoundedBox(box);
    ComputeWorldBoundingBox(WorldBoxForWrite());
    // A box that arrives after the last move (an effect's bounds taken from the render thread) must
    // move the entity's cells too: left where the old box put them, or in none for an empty box,
    // the entity would never be a render candidate until it moved.
    gEntityManager.UpdateEntityInGrid(this);
}

void Entity::UpdateRenderingTransform()
{
    if (m_spatial->renderingContext != nullptr)
        m_spatial->renderingContext->SetTransformAndBounds(m_spatial->world, m_spatial->world, IsTransformMirrored(), m_spatial->localBox);
}

bool Entity::UpdateRenderingBounds()
{
    BoundingBox4 box;
    // Nothing taken is a failure too: callers retry until a real box has come back. An empty or
    // unbounded box (an effect with nothing alive yet) is not one: taken, it would put the entity in
    // no cell, so it would never be drawn again to measure a better one; the last valid box stays.
    if (m_spatial->renderingContext == nullptr || !m_spatial->renderingContext->GetDynamicBounds(&box) ||
        !PathGrid::IsValidBoundedBox(box))
        return false;
    SetLocalBoundingBox(box);
    // The render side culls the context by the new box too.
    UpdateRenderingTransform();
    return true;
}

void Entity::UpdateTransform()
{
    const uint32_t renderFlags = (m_spatial->worldAxes & EntitySpatialRecord::kAxesMirrored) != 0
                                     ? m_renderFlags | ENTITYRENDER_MIRRORED
                                     : m_renderFlags & ~uint32_t(ENTITYRENDER_MIRRORED);
    if (renderFlags != m_renderFlags)
        m_renderFlags = renderFlags;
    UpdateRenderingTransform();
    BoundingBox4& worldBox = WorldBoxForWrite();
    ComputeWorldBoundingBox(worldBox);
    GetCollisionBounds(worldBox);
    gEntityManager.UpdateEntityInGrid(this);
    const uint8_t listeners = m_spatial->moveListeners;
    if ((listeners & EntitySpatialRecord::kOccupancyListener) != 0)
        TriggerOccupancyTracker::QueueEntity(this);
    if ((listeners & EntitySpatialRecord::kSoundListener) != 0)
        UpdateSoundEmitterTransform();
}

const Matrix& Entity::GetInversedGlobalLocationMatrix()
{
    if (m_inverseWorldValid)
        return m_inverseWorldMatrix;
    if (AxisLength2(m_spatial->world.rows[0]) == 0.0f || AxisLength2(m_spatial->world.rows[1]) == 0.0f ||
        AxisLength2(m_spatial->world.rows[2]) == 0.0f)
        m_inverseWorldMatrix = Matrix::ONE;
    else
        m_inverseWorldMatrix.InverseOf(m_spatial->world);
    m_inverseWorldValid = 1;
    return m_inverseWorldMatrix;
}

void Entity::SetLocalLocationMatrix(const Matrix& matrix)
{
    m_spatial->local = matrix;
    InvalidateLocalCaches();
    PropagateTransform(false);
}

void Entity::SetLocalPosition(const Vector& position)
{
    // Read one component at a time and written as one row: a caller mostly has just written one
    // component of `position` over a copy of the row, and the product below reads the row whole,
    // loads the processor serves from those pending writes only when each falls within one of them.
    const __m128 x = _mm_load_ss(&position.x);
    const __m128 y = _mm_load_ss(&position.y);
    const __m128 z = _mm_load_ss(&position.z);
    m_spatial->local.rows[3].SetSimd(_mm_movelh_ps(_mm_unpacklo_ps(x, y), _mm_unpacklo_ps(z, _mm_set_ss(1.0f))));
    PropagateTransform(false, true);
}

void Entity::DecomposeLocal()
{
    Vector translation;
    m_spatial->local.Decompose(translation, m_localRotation, m_localScale);
    m_localRotationValid = 1;
    m_localScaleValid = 1;
}

void Entity::DecomposeGlobal()
{
    Vector translation;
    m_spatial->world.Decompose(translation, m_globalRotation, m_globalScale);
    m_globalRotationValid = 1;
    m_globalScaleValid = 1;
}

const Vector& Entity::GetLocalRotation()
{
    if (!m_localRotationValid)
        DecomposeLocal();
    return m_localRotation;
}

const Vector& Entity::GetLocalScale()
{
    if (!m_localScaleValid)
        DecomposeLocal();
    return m_localScale;
}

const Vector& Entity::GetGlobalRotation()
{
    if (!m_globalRotationValid)
        DecomposeGlobal();
    return m_globalRotation;
}

const Vector& Entity::GetGlobalScale()
{
    if (!m_globalScaleValid)
        DecomposeGlobal();
    return m_globalScale;
}

void Entity::SetLocalRotation(const Vector& degrees)
{
    const Vector scale = GetLocalScale();
    m_spatial->local.LoadComplexTransformation(m_spatial->local.rows[3], degrees, scale);
    m_localRotation = degrees;
    m_localRotationValid = 1;
    m_globalRotationValid = 0;
    PropagateTransform(false);
}

void Entity::SetLocalScale(const Vector& scale)
{
    const Vector rotation = GetLocalRotation();
    m_spatial->local.LoadComplexTransformation(m_spatial->local.rows[3], rotation, scale);
    m_localScale = scale;
    m_localScaleValid = 1;
    m_globalScaleValid = 0;
    PropagateTransform(false);
}

void Entity::SetGlobalLocationMatrix(const Matrix& matrix)
{
    if (m_parent == nullptr)
    {
        SetLocalLocationMatrix(matrix);
        return;
    }
    m_spatial->world = matrix;
    TakeWorldAxes(0);
    Matrix inverseParent;
    inverseParent.InverseOf(m_parent->m_spatial->world);
    m_spatial->local.Mul(inverseParent, matrix);
    InvalidateLocalCaches();
    InvalidateGlobalCaches();
    UpdateTransform();
    PropagateTransform(true);
}

void Entity::SetGlobalPosition(const Vector& position)
{
    Matrix world = m_spatial->world;
    world.rows[3].Set(position.x, position.y, position.z, 1.0f);
    SetGlobalLocationMatrix(world);
}

void Entity::SetGlobalRotation(const Vector& degrees)
{
    const Vector scale = GetGlobalScale();
    Matrix world;
    world.LoadComplexTransformation(m_spatial->world.rows[3], degrees, scale);
    SetGlobalLocationMatrix(world);
    m_globalRotation = degrees;
    m_globalRotationValid = 1;
}

void Entity::SetGlobalScale(const Vector& scale)
{
    const Vector rotation = GetGlobalRotation();
    Matrix world;
    world.LoadComplexTransformation(m_spatial->world.rows[3], rotation, scale);
    SetGlobalLocationMatrix(world);
    m_globalScale = scale;
    m_globalScaleValid = 1;
}

void Entity::CopyLocalLocation(const Entity* other)
{
    if (other != nullptr)
        SetLocalLocationMatrix(other->m_spatial->local);
}

void Entity::CopyGlobalLocation(const Entity* other)
{
    if (other != nullptr)
        SetGlobalLocationMatrix(other->m_spatial->world);
}

float Entity::GetDistanceToBoundingBox(const Vector& point)
{
    Vector local = point;
    local.Transform3D(GetInversedGlobalLocationMatrix());
    if (m_spatial->localBox.Inside3D(local))
        return 0.0f;
    Vector nearest;
    m_spatial->localBox.GetNearestPoint(point, m_spatial->world, nearest);
    return nearest.Distance(point);
}
