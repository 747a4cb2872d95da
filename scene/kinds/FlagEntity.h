// FlagEntity: a waypoint placed from a FlagTemplate (type 2). Flags are joined by connections
// (FlagEntityConnection) that lead to a neighbour flag, optionally through control points. A path
// is a Catmull-Rom spline through the flag, the control points and the neighbour, walked by arc
// length; a flag with two connections hands the curve on smoothly to the next connection. All
// positions are the translation rows of the flags' local matrices (the parent's space); the
// matrices the path queries return are in world space. The path code is in FlagEntityPath.cpp.
// Graph entities keep per-node scratch data here. Main thread only.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/containers/SafePointer.h"
#include "core/math/Matrix.h"
#include "scene/entities/Entity.h"
#include "scene/kinds/FlagEntityConnection.h"

#include <cstdint>

// A path marker entity with its connections to neighbour flags.
class FlagEntity : public Entity
{
    RTTI_DECLARE_CLASS(FlagEntity, Entity)

public:
    // Script side. A missing neighbour or an index out of range gives 0.0, false or the flag's own
    // world matrix; these queries never fail.
    bool HasNeighbour(const FlagEntity* flag) const { return FindConnection(flag) != nullptr; }
    float GetNeighbourDistance(const FlagEntity* flag) const;
    float GetNeighbourDistance(int32_t index) const;
    // The world transform at `distance` along the path to `neighbour`: its z axis follows the path,
    // its y axis leans towards world up. With `wrap` the distance runs round the path; otherwise it
    // is clamped to it. `previous` (may be null) is the flag the walker came from.
    void GetGlobalPositionOnPath(const FlagEntity* neighbour, float distance, Matrix& out, bool wrap,
                                 const FlagEntity* previous) const;
    void GetGlobalPositionOnPath(int32_t index, float distance, Matrix& out, bool wrap,
                                 const FlagEntity* previous) const;
    // The path distance nearest to `point` (in the flag's parent space); 0.0 for a straight path.
    float GetPathPositionNearestToGlobalPoint(const FlagEntity* neighbour, const Vector& point,
                                              const FlagEntity* previous) const;
    float GetPathPositionNearestToGlobalPoint(int32_t index, const Vector& point, const FlagEntity* previous) const;

    // Connections.
    int32_t GetConnectionCount() const { return m_connections.Count(); }
    const FlagEntityConnection& GetConnection(int32_t index) const { return m_connections[index]; }
    FlagEntityConnection& GetConnection(int32_t index) { return m_connections[index]; }
    const FlagEntityConnection* FindConnection(const FlagEntity* flag) const;
    // -1 when there is no connection to `flag`.
    int32_t FindConnectionIndex(const FlagEntity* flag) const;
    // A connection to `other` unless one exists; when `other` already leads back here, the new one
    // is the reverse of that path (same length, control points reversed, distances mirrored).
    void AddConnection(FlagEntity* other);
    // Drops, keeping order, every connection whose destination no longer exists.
    void RemoveDeadConnections();
    // Recomputes the control point distances and the length of every live connection; the others
    // are dropped, keeping order.
    void UpdateConnectionLengths();
    // The position of the flag (translation row of the local matrix, w = 1).
    Vector GetPathPosition() const;

    // The points before and after the connection `connection` of this flag: where the curve comes
    // from (through `previous`) and where it goes on past the neighbour.
    Vector GetPreviousPathPoint(const FlagEntity* previous) const;
    Vector GetNextPathPoint(const FlagEntityConnection& connection) const;

    // Dead connections are dropped before the record is written.
    size_t SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags) override;

    // Scratch data of the graph that owns this flag as a node.
    int32_t m_graphInDegree = 0;
    float m_graphPathDistance = 0.0f;
    SafePointer<FlagEntity> m_graphPredecessor;

private:
    void ComputeConnectionLength(FlagEntityConnection& connection) const;
    void EvaluatePath(const FlagEntityConnection& connection, float distance, bool wrap, const FlagEntity* previous,
                      Vector& position, Vector& direction) const;
    void PlaceOnPath(const Vector& position, const Vector& direction, Matrix& out) const;
    float NearestPathPosition(const FlagEntityConnection& connection, const Vector& point,
                              const FlagEntity* previous) const;

    DynarraySafe<FlagEntityConnection> m_connections;
};
