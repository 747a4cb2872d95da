#include "scene/kinds/GraphEntity.h"

#include "core/console/GameConsole.h"
#include "core/math/CatmullRom.h"
#include "renderer/NorvexRenderer.h"
#include "scene/entities/EntityManager.h"
#include "scene/kinds/FlagEntity.h"
#include "scene/kinds/FlagTemplate.h"
#include "scene/kinds/GraphEntityRenderingContext.h"
#include "scene/kinds/GraphGeometry.h"
#include "scene/kinds/GraphTemplate.h"

#include <vector>

namespace
{
// Strips float a little above the nodes so that they do not fight with the ground.
const Vector kStripLift(0.0f, 0.25f, 0.0f, 0.0f);
// The local box reaches a little above every node.
const Vector kBoundsLift(0.0f, 0.4f, 0.0f, 0.0f);
// Arrows sit this far along the path from its middle point.
constexpr float kArrowOffset = 0.6f;
constexpr uint32_t kBoxFlags = 2;
// The render flag that makes a frame's gather keep the context as a sorted forward task.
constexpr uint32_t kGraphSortedPassFlag = 0x20;

FlagEntity* AsFlag(Entity* entity)
{
    return entity != nullptr && entity->IsKindOf(FlagTemplate::kTypeId) ? dynamic_cast<FlagEntity*>(entity) : nullptr;
}

bool LeadsTo(const FlagEntity* from, const FlagEntity* to)
{
    return from != nullptr && from->FindConnection(to) != nullptr;
}

// Normalised over x, y and z with w = 0 (zero for a piece of no length).
Vector UnitDirection(const Vector& v)
{
    Vector direction(v.x, v.y, v.z, 0.0f);
    direction.Normalize();
    return direction;
}
} // namespace

RTTI_DEFINE_CLASS_TABLE(GraphEntity, Entity)

void GraphEntity::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = GraphEntity;
    table.AddProperty(new RTTISGProperty<C, BoundingBox4>("Local bounding box", &C::SetLocalBoxValue,
                                                          &C::GetLocalBoxValue, kBoxFlags));
}

void GraphEntity::OnPostLoad(uint32_t flags)
{
    Entity::OnPostLoad(flags);
    UpdateTransform();
    RequestRebuild();
}

void GraphEntity::RequestRebuild()
{
    m_rebuildPending = true;
    RaiseFlag(ENTITYFLAG_ANIMATED, false);
}

void GraphEntity::SetLayerToActive()
{
    if (CreateFirstNodes())
        Entity::SetLayerToActive();
}

bool GraphEntity::CreateFirstNodes()
{
    const GraphTemplate* const graphTemplate = dynamic_cast<const GraphTemplate*>(GetTemplate());
    const char* const nodeTemplate = graphTemplate != nullptr ? graphTemplate->GetNodeTemplate().CStr() : "";
    Entity* const first =
        graphTemplate != nullptr ? gEntityManager.CreateEntity(nodeTemplate, this, Matrix::ONE, 0, nullptr) : nullptr;
    Entity* const second =
        graphTemplate != nullptr ? gEntityManager.CreateEntity(nodeTemplate, this, Matrix::ONE, 0, nullptr) : nullptr;
    FlagEntity* const a = AsFlag(first);
    FlagEntity* const b = AsFlag(second);
    if (a == nullptr || b == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_REPORT,
                       "Cannot create graph because the 'Node template' property is invalid (%s). It should define a "
                       "full path to a valid Flag template.",
                       nodeTemplate);
        // Half a graph is worse than none: whatever was made is taken away again.
        if (first != nullptr)
            first->DeleteMe();
        if (second != nullptr)
            second->DeleteMe();
        return false;
    }
    a->SetLayerToActive();
    b->SetLayerToActive();
    a->SetLocalPosition(Vector(0.0f, 0.0f, 0.0f, 1.0f));
    b->SetLocalPosition(Vector(0.0f, 0.0f, 1.0f, 1.0f));
    Connect(a, b);
    Connect(b, a);
    return true;
}

bool GraphEntity::AreAllNodesMarked(const uint32_t* marks) const
{
    for (Entity* child : GetChildren())
        if (child->IsKindOf(FlagTemplate::kTypeId))
        {
            const uint32_t index = child->GetIndex();
            if (index >= kMaxEntities || (marks[index >> 5] & (1u << (index & 31))) == 0)
                return false;
        }
    return true;
}

void GraphEntity::RecomputeLocalBounds()
{
    BoundingBox4 box = BoundingBox4::INVALID;
    for (Entity* child : GetChildren())
        if (child->IsKindOf(FlagTemplate::kTypeId))
        {
            Vector point;
            point.Add(child->GetLocalPosition(), kBoundsLift);
            box.Expand(point);
        }
    SetLocalBoundingBox(box);
    OnPostLoad(0);
}

void GraphEntity::Connect(FlagEntity* first, FlagEntity* second)
{
    if (first == nullptr || second == nullptr || first == second || first->GetParent() != this ||
        second->GetParent() != this)
        return;
    first->AddConnection(second);
    RequestRebuild();
}

void GraphEntity::OnFrameHook(uint32_t)
{
    if (!m_rebuildPending)
        return;
    m_rebuildPending = false;
    for (Entity* child : GetChildren())
        if (FlagEntity* const flag = AsFlag(child))
            flag->UpdateConnectionLengths();
    ClearFlag(ENTITYFLAG_ANIMATED, false);
    RecreateRenderingContext(true);
}

void GraphEntity::DebugDrawBoundingBox(const BoundingBox4&, const Vector&)
{
}

void GraphEntity::AddChild(Entity* child)
{
    Entity::AddChild(child);
    RequestRebuild();
}

void GraphEntity::RemoveChild(Entity* child)
{
    Entity::RemoveChild(child);
    RequestRebuild();
}

EntityRenderingContext* GraphEntity::CreateRenderingContext()
{
    if (gRenderer == nullptr)
        return nullptr;
    // Without a pass flag the gather drops the graph's task and no frame draws it; blended ribbons
    // belong with the sorted forward draws, which meshes and effects already share.
    SetRenderFlags(GetRenderFlags() | kGraphSortedPassFlag);
    GraphGeometry* const geometry = new GraphGeometry;
    BuildGeometry(*geometry);
    return new GraphEntityRenderingContext(*gRenderer, this, 0, geometry);
}

void GraphEntity::AssignPathDistances()
{
    FlagEntity* root = nullptr;
    for (Entity* child : GetChildren())
        if (FlagEntity* const flag = AsFlag(child); flag != nullptr && flag->m_graphInDegree == 0)
        {
            root = flag;
            break;
        }
    for (Entity* child : GetChildren())
        if (FlagEntity* const flag = AsFlag(child); root == nullptr && flag != nullptr && flag->GetConnectionCount() == 1)
            root = flag;
    if (root == nullptr || root->GetIndex() >= kMaxEntities)
        return;
    root->m_graphPathDistance = 0.0f;
    std::vector<uint32_t> visited(kMaxEntities / 32, 0);
    std::vector<FlagEntity*> queue{root};
    visited[root->GetIndex() >> 5] |= 1u << (root->GetIndex() & 31);
    for (size_t next = 0; next < queue.size(); ++next)
    {
        FlagEntity* const node = queue[next];
        for (int32_t i = 0; i < node->GetConnectionCount(); ++i)
        {
            FlagEntity* const reached = node->GetConnection(i).GetDestination();
            if (reached == nullptr || reached->GetIndex() >= kMaxEntities)
                continue;
            uint32_t& word = visited[reached->GetIndex() >> 5];
            const uint32_t bit = 1u << (reached->GetIndex() & 31);
            if ((word & bit) != 0)
                continue;
            word |= bit;
            reached->m_graphPathDistance = node->m_graphPathDistance + node->GetConnection(i).m_length;
            queue.push_back(reached);
        }
    }
}

void GraphEntity::BuildGeometry(GraphGeometry& geometry)
{
    for (Entity* child : GetChildren())
        if (FlagEntity* const flag = AsFlag(child))
        {
            flag->m_graphInDegree = 0;
            flag->m_graphPredecessor.Set(nullptr);
        }
    for (Entity* child : GetChildren())
        if (FlagEntity* const flag = AsFlag(child))
            for (int32_t i = 0; i < flag->GetConnectionCount(); ++i)
                if (FlagEntity* const node = flag->GetConnection(i).GetDestination())
                {
                    ++node->m_graphInDegree;
                    if (node->m_graphPredecessor.Get() == nullptr)
                        node->m_graphPredecessor.Set(flag);
                }
    AssignPathDistances();

    const GraphTemplate* const graphTemplate = dynamic_cast<const GraphTemplate*>(GetTemplate());
    const bool cutEnds = graphTemplate != nullptr && graphTemplate->CutsOffNastyEnds();
    for (Entity* child : GetChildren())
        if (FlagEntity* const flag = AsFlag(child))
            for (int32_t i = 0; i < flag->GetConnectionCount(); ++i)
            {
                const FlagEntity* const node = flag->GetConnection(i).GetDestination();
                if (node == nullptr)
                    continue;
                const bool twoWay = LeadsTo(node, flag);
                // A pair joined both ways is built once, from the flag with the lower entity index.
                if (twoWay && node->GetIndex() < flag->GetIndex())
                    continue;
                BuildConnection(flag, i, twoWay, cutEnds, geometry);
            }
}

void GraphEntity::BuildConnection(FlagEntity* from, int32_t connectionIndex, bool twoWay, bool cutEnds,
                                  GraphGeometry& geometry) const
{
    const FlagEntityConnection& connection = from->GetConnection(connectionIndex);
    const FlagEntity* const to = connection.GetDestination();

    // The curve is carried on through a node that only passes the path on; elsewhere it may be cut.
    const FlagEntity* const predecessor = from->m_graphPredecessor.Get();
    const bool continuesIn =
        from->m_graphInDegree == 1 && predecessor != nullptr && predecessor != to && LeadsTo(predecessor, from);
    const int32_t onward = to->GetConnectionCount();
    const bool backFirst = onward >= 1 && to->GetConnection(0).GetDestination() == from;
    const bool backSecond = onward == 2 && to->GetConnection(1).GetDestination() == from;
    const bool continuesOut = (onward == 1 && !backFirst) || (onward == 2 && backFirst != backSecond);
    const bool cutStart = cutEnds && !continuesIn;
    const bool cutEnd = cutEnds && !continuesOut;

    const float startDistance = from->m_graphPathDistance;
    const float endDistance = to->m_graphPathDistance;
    Vector middle;
    Vector direction;
    const int32_t n = connection.GetControlPointCount();
    if (n == 0)
    {
        Vector a;
        a.Add(from->GetPathPosition(), kStripLift);
        Vector b;
        b.Add(to->GetPathPosition(), kStripLift);
        geometry.AddStrip(a, startDistance, b, endDistance);
        middle.Add(a, b);
        middle.Mul(0.5f);
        direction.Sub(b, a);
    }
    else
    {
        std::vector<Vector> chain;
        chain.reserve(size_t(n) + 4);
        chain.push_back(continuesIn ? from->GetPreviousPathPoint(predecessor) : from->GetPathPosition());
        chain.push_back(from->GetPathPosition());
        for (int32_t i = 0; i < n; ++i)
            chain.push_back(connection.GetControlPoint(i));
        chain.push_back(to->GetPathPosition());
        chain.push_back(continuesOut ? from->GetNextPathPoint(connection) : to->GetPathPosition());
        for (int32_t j = 0; j <= n; ++j)
        {
            if ((j == 0 && cutStart) || (j == n && cutEnd))
                continue;
            const float t0 = startDistance + (j == 0 ? 0.0f : connection.GetControlPointDistance(j - 1));
            const float t1 = j == n ? endDistance : startDistance + connection.GetControlPointDistance(j);
            geometry.AddCurve(chain[j], chain[j + 1], chain[j + 2], chain[j + 3], t0, t1);
        }
        // The arrow's segment: (n + 2) / 2 - 2, which for a single control point would be the
        // segment before the first, so it is kept inside the chain.
        int32_t m = (n + 2) / 2 - 2;
        m = m < 0 ? 0 : (m > n ? n : m);
        CatmullRomPoint(middle, 0.5f, chain[m], chain[m + 1], chain[m + 2], chain[m + 3]);
        CatmullRomTangent(direction, 0.5f, chain[m], chain[m + 1], chain[m + 2], chain[m + 3]);
    }
    direction = UnitDirection(direction);
    Vector head;
    head.MulAdd(middle, direction, kArrowOffset);
    geometry.AddArrow(head, direction);
    if (twoWay)
    {
        Vector tail;
        tail.MulAdd(middle, direction, -kArrowOffset);
        Vector back;
        back.NegateXYZ(direction);
        geometry.AddArrow(tail, back);
    }
}
