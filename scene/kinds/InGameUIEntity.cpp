#include "scene/kinds/InGameUIEntity.h"

#include "core/console/GameConsole.h"
#include "renderer/NorvexRenderer.h"
#include "scene/kinds/InGameUIEntityRenderingContext.h"
#include "scene/kinds/InGameUITemplate.h"
#include "ui/elements/UIElement.h"

RTTI_DEFINE_CLASS_TABLE(InGameUIEntity, Entity)

void InGameUIEntity::BuildClassProperties(RTTIPropertiesBase&) {}

InGameUIEntity::InGameUIEntity() : m_element(*this) {}

InGameUIEntity::~InGameUIEntity()
{
    // The context goes first: its deletion is queued before the element's.
    DeleteRenderingContext();
    UIElement* const element = m_element.Get();
    m_element.Set(nullptr);
    if (element != nullptr)
        element->Release();
}

void InGameUIEntity::ElementLink::OnTargetDestroyed()
{
    SafePointer<UIElement>::OnTargetDestroyed();
    m_owner.DeleteRenderingContext();
    m_owner.SetRenderFlags(m_owner.GetRenderFlags() & ~ENTITYRENDER_INGAME_UI);
}

void InGameUIEntity::SetUIElement(UIElement* element, float width, float height)
{
    UIElement* const attached = m_element.Get();
    if (element == attached && width == m_width && height == m_height)
        return;
    // A released element is on its way to deletion: keeping it would leave a dangling pointer.
    if (element != nullptr && element->IsReleased())
    {
        gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "InGameUIEntity %s: the UI element was already released", GetName());
        return;
    }
    DeleteRenderingContext();
    // The same element at a new size stays: releasing it would delete the element it keeps.
    m_element.Set(element);
    if (attached != nullptr && attached != element)
        attached->Release();
    m_width = width;
    m_height = height;
    RecreateRenderingContext(true);
}

EntityRenderingContext* InGameUIEntity::CreateRenderingContext()
{
    UIElement* const element = m_element.Get();
    const InGameUITemplate* const source = dynamic_cast<const InGameUITemplate*>(GetTemplate());
    if (element == nullptr || source == nullptr || gRenderer == nullptr)
    {
        SetRenderFlags(GetRenderFlags() & ~ENTITYRENDER_INGAME_UI);
        return nullptr;
    }
    SetRenderFlags(GetRenderFlags() | ENTITYRENDER_INGAME_UI);
    return new InGameUIEntityRenderingContext(*gRenderer, element, source->GetSize(), m_width, m_height);
}
