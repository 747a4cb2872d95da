// InGameUITemplate: the template (type 11) of in-game UI entities; "Size" is the world size of the
// plane on which the entity's UI element is drawn. Main thread only.
#pragma once

#include "scene/templates/EntityTemplate.h"

// Template of UI planes placed in the scene.
class InGameUITemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(InGameUITemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 11;

    InGameUITemplate();

    const char* GetTemplateClassName() const override { return "InGameUITemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "InGameUIEntity"; }

    const Vector& GetSize() const { return m_size; }
    void SetSize(const Vector& size) { m_size = size; }

private:
    Vector m_size = Vector(100.0f, 100.0f, 100.0f, 0.0f);
};
