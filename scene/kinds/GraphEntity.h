// GraphEntity: the entity of a GraphTemplate (type 3). Its flag children are the graph's nodes;
// it keeps their connection lengths current, gives every node a path distance from a root, turns
// the connections into strips, curve segments and arrows (GraphGeometry) and hands them to its
// GraphEntityRenderingContext. Any change to the nodes only marks the geometry for a rebuild, done
// once by the next per-frame hook however many changes came before. Main thread only.
#pragma once

#include "scene/entities/Entity.h"

#include <cstdint>

class FlagEntity;
class GraphGeometry;

// A network of flag nodes drawn as textured paths.
class GraphEntity : public Entity
{
    RTTI_DECLARE_CLASS(GraphEntity, Entity)

public:
    // Post-load: the world bounds follow the loaded box and the geometry is rebuilt.
    void OnPostLoad(uint32_t flags) override;
    // Placing a new graph: its first two nodes are made, then the layer becomes the active one.
    void SetLayerToActive() override;
    void OnFrameHook(uint32_t flags) override;
    void DebugDrawBoundingBox(const BoundingBox4& box, const Vector& color) override;
    void AddChild(Entity* child) override;
    void RemoveChild(Entity* child) override;
    EntityRenderingContext* CreateRenderingContext() override;

    // Makes two nodes from the template's "Node template", one unit apart and joined both ways;
    // false (logged, nothing left behind) when the template does not make flags.
    bool CreateFirstNodes();
    // True when every flag child's bit is set in `marks` (a bit per entity index).
    bool AreAllNodesMarked(const uint32_t* marks) const;
    // The local box becomes the span of the nodes (raised by 0.4), then as after a load.
    void RecomputeLocalBounds();
    // Joins `first` to `second` when both are distinct flag children of this graph.
    void Connect(FlagEntity* first, FlagEntity* second);
    // Asks for one rebuild of the geometry by the next per-frame hook.
    void RequestRebuild();
    bool IsRebuildPending() const { return m_rebuildPending; }
    // Fills in the nodes' in-degrees, predecessors and path distances and builds the pieces.
    void BuildGeometry(GraphGeometry& geometry);

private:
    void SetLocalBoxValue(const BoundingBox4& box) { SetLocalBoundingBox(box); }
    const BoundingBox4* GetLocalBoxValue() const { return &GetLocalBoundingBox(); }
    void AssignPathDistances();
    void BuildConnection(FlagEntity* from, int32_t connectionIndex, bool twoWay, bool cutEnds,
                         GraphGeometry& geometry) const;

    bool m_rebuildPending = false;
};
