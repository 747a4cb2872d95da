// TriggerTemplate: the shape, test mode and scale shared by the trigger entities made from it; the
// game layer's trigger templates derive from it and reuse its debug drawing. Properties are built
// and entities created on the main thread.
#pragma once

#include "core/math/Vector.h"
#include "scene/templates/EntityTemplate.h"

#include <cstdint>

// Template of trigger entities (type id 4).
class TriggerTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(TriggerTemplate, EntityTemplate)

public:
    enum Shape : uint32_t
    {
        SHAPE_BOX = 0,
        SHAPE_SPHERE = 1,
    };
    enum Mode : uint32_t
    {
        MODE_POSITION_INSIDE = 0,
        MODE_WHOLE_ENTITY_INSIDE = 1,
        MODE_JUST_TOUCH = 2,
        MODE_POSITION_WITH_RADIUS = 3,
    };

    TriggerTemplate();

    const char* GetTemplateClassName() const override { return "TriggerTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "TriggerEntity"; }
    // Draws the shape (box: the static bounding box; sphere: the unit sphere) placed by the matrix
    // and scaled by "Scale"; white with flag 2, else the wireframe colour. True for every shape.
    bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t extra) override;
    // The shape in the wireframe colour.
    bool DrawDebug(const Matrix& matrix, uint32_t flags) override;

    uint32_t GetShape() const { return m_shape; }
    uint32_t GetMode() const { return m_mode; }
    const Vector& GetScale() const { return m_scale; }

private:
    uint32_t m_shape = SHAPE_BOX;
    uint32_t m_mode = MODE_POSITION_INSIDE;
    Vector m_scale = Vector(1.0f, 1.0f, 1.0f, 1.0f);
};
