// EntitySet: a named, coloured group of entities that scene authors define and scripts look up.
// The entity manager owns the sets of a scene; each member also lists the sets it belongs to.
// Main thread only.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/SafePointer.h"
#include "core/math/HDRColor.h"
#include "core/reflection/RTTIClass.h"

#include <string>

class Entity;

// A set of entities, stored by GUID in records.
class EntitySet : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(EntitySet, RTTIPolyBaseClass)

public:
    EntitySet();
    // Leaves the set list of every member that still lives.
    ~EntitySet() override;

    const char* GetName() const { return m_name.c_str(); }
    void SetName(const char* name) { m_name = name != nullptr ? name : ""; }
    const HDRColor& GetColor() const { return m_color; }
    void SetColor(const HDRColor& color) { m_color = color; }
    const SimpleGUID& GetGUID() const { return m_guid; }
    // A deleted member reads as null; the others keep their places.
    const SafePointerArray<Entity>& GetEntities() const { return m_entities; }
    SafePointerArray<Entity>& GetEntities() { return m_entities; }
    // Adds a member (once) and tells it.
    void AddEntity(Entity* entity);
    void RemoveEntity(Entity* entity);

    void OnPreLoad(uint32_t flags) override;
    void OnPostLoad(uint32_t flags) override;

private:
    void SetNameValue(const std::string& name) { SetName(name.c_str()); }
    const std::string* GetNameValue() const { return &m_name; }
    void LeaveMembers();
    void JoinMembers();

    std::string m_name;
    HDRColor m_color;
    SimpleGUID m_guid;
    SafePointerArray<Entity> m_entities;
};
