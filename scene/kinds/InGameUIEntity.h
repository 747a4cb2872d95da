// InGameUIEntity: shows a UI element on a plane placed by the entity's world matrix, sized by its
// InGameUITemplate. The entity points at the element it was given through a safe pointer and draws
// it through an InGameUIEntityRenderingContext. Main thread only.
#pragma once

#include "core/containers/SafePointer.h"
#include "scene/entities/Entity.h"
#include "ui/elements/UIElement.h"

// Render flag raised while the entity has an element to draw.
constexpr uint32_t ENTITYRENDER_INGAME_UI = 32;

// Entity drawing a UI element inside the scene.
class InGameUIEntity : public Entity
{
    RTTI_DECLARE_CLASS(InGameUIEntity, Entity)

public:
    InGameUIEntity();
    ~InGameUIEntity() override;

    // Attaches the element at width x height (UI units): the old element is released (unless it is
    // the same one at a new size) and the rendering context is rebuilt. The same element at the same
    // size changes nothing; an element the UI already released is refused (logged).
    void SetUIElement(UIElement* element, float width, float height);
    UIElement* GetUIElement() const { return m_element.Get(); }
    float GetElementWidth() const { return m_width; }
    float GetElementHeight() const { return m_height; }

    EntityRenderingContext* CreateRenderingContext() override;

private:
    // Clears itself when the UI releases the element; the entity then drops the context that
    // draws it before the element's deletion is queued.
    class ElementLink : public SafePointer<UIElement>
    {
    public:
        explicit ElementLink(InGameUIEntity& owner) : m_owner(owner) {}
        void OnTargetDestroyed() override;

    private:
        InGameUIEntity& m_owner;
    };

    ElementLink m_element;
    float m_width = 0.0f;
    float m_height = 0.0f;
};
