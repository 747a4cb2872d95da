// Entity tracking of a screen: elements kept on scene entities, placed once per Draw by command 26.
// Main thread only.
#include "renderer/RenderCommandStream.h"
#include "scene/entities/Entity.h"
#include "ui/screens/UIScreen.h"

void UIScreen::EnableEntityTracking(UIElement* element, Entity* entity, uint32_t flags, const Vector& offset,
                                    uint32_t value, float scale)
{
    if (element == nullptr)
        return;
    DisableEntityTracking(element);
    UIEntityTrackingEntry* const entry = new UIEntityTrackingEntry;
    entry->element = element;
    entry->entity = entity;
    entry->offset = offset;
    if (entity != nullptr)
        entry->lastPosition = entity->GetGlobalPosition();
    entry->flags = flags;
    entry->value = value;
    entry->scale = scale;
    m_tracking.Add(entry);
}

void UIScreen::DisableEntityTracking(UIElement* element)
{
    for (UIEntityTrackingEntry* entry : m_tracking)
        if (entry->element.Get() == element)
            entry->element = nullptr;
}

void UIScreen::UpdateEntityTracking(const GameSideCamera& sceneCamera)
{
    if (m_tracking.Count() == 0)
        return;
    const Matrix& viewProjection = sceneCamera.viewProjection;
    // The camera scale: how long a unit of world height is on screen.
    Vector up(0.0f, 1.0f, 0.0f, 0.0f);
    up.Transform(sceneCamera.inverseViewProjection);
    const float cameraScale = up.Length();
    for (int32_t i = 0; i < m_tracking.Count();)
    {
        UIEntityTrackingEntry* const entry = m_tracking[i];
        UIElement* const element = entry->element.Get();
        if (element == nullptr)
        {
            delete entry;
            m_tracking.RemoveAt(i);
            continue;
        }
        Entity* const entity = entry->entity.Get();
        bool keep = true;
        Vector point;
        if ((entry->flags & UIENTITYTRACKING_HEALTHBARMODE) == 0)
        {
            if (entity != nullptr)
                entry->lastPosition = entity->GetGlobalPosition();
            else
                keep = (entry->flags & UIENTITYTRACKING_SURVIVEENTITYDEATH) != 0;
            point.Set(entry->lastPosition.x + entry->offset.x, entry->lastPosition.y + entry->offset.y,
                      entry->lastPosition.z + entry->offset.z, 1.0f);
            point.Transform(viewProjection);
        }
        else
        {
            keep = entity != nullptr;
            if (keep)
            {
                point.Set(entry->offset.x, entry->offset.y + entity->GetBarHeight(), entry->offset.z, 1.0f);
                point.Transform(entity->GetGlobalLocationMatrix());
                point.Transform(viewProjection);
            }
        }
        if ((entry->flags & UIENTITYTRACKING_HIDEWITHENTITY) != 0 && entity != nullptr)
        {
            const bool hidden = (entity->GetFlags() & ENTITYFLAG_HIDDEN) != 0;
            if (hidden && !entry->hiddenWithEntity)
            {
                element->SetVisible(false, true, true);
                entry->hiddenWithEntity = true;
            }
            else if (!hidden && entry->hiddenWithEntity)
            {
                element->SetVisible(true, true, true);
                entry->hiddenWithEntity = false;
            }
        }
        if ((entry->flags & UIENTITYTRACKING_HEALTHBARMODE) == 0 || keep)
            element->SetTrackedPosition(point, entry->scale * cameraScale, entry->flags);
        if (!keep)
        {
            delete entry;
            m_tracking.RemoveAt(i);
            continue;
        }
        ++i;
    }
}
