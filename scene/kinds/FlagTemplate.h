// FlagTemplate: the template of flag markers (type 2) that level designers place and connect into
// paths. It holds the marker size, from which its bounding box always follows, and draws the marker
// in tools. Main thread only.
#pragma once

#include "scene/templates/EntityTemplate.h"

// Marker template whose box scales with "Size".
class FlagTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(FlagTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 2;

    FlagTemplate();

    const char* GetTemplateClassName() const override { return "FlagTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "FlagEntity"; }
    // Any change recomputes the box from "Size", undoing an edited "Static bounding box".
    void OnPropertyChanged(const RTTIProperty* property) override;
    bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t extra) override;
    bool DrawDebug(const Matrix& matrix, uint32_t flags) override;

    float GetSize() const { return m_size; }
    void SetSize(float size) { m_size = size; }

private:
    void ComputeBoundingBox();
    bool DrawMarker(const Matrix& matrix, uint32_t flags);

    float m_size = 1.0f;
};
