#include "ui/elements/UIElementIdMap.h"

#include "core/containers/Dynarray.h"
#include "ui/elements/UIElement.h"

namespace
{
struct Entry
{
    UIElement* element;
    uint32_t id;
};

Dynarray<Entry> gIdMap;

int32_t Find(uint32_t id)
{
    int32_t low = 0;
    int32_t high = gIdMap.Count() - 1;
    while (low <= high)
    {
        const int32_t middle = (low + high) / 2;
        const uint32_t found = gIdMap[middle].id;
        if (found == id)
            return middle;
        if (found < id)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return -1;
}

int32_t UpperBound(uint32_t id)
{
    int32_t low = 0;
    int32_t high = gIdMap.Count();
    while (low < high)
    {
        const int32_t middle = (low + high) / 2;
        if (gIdMap[middle].id <= id)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
} // namespace

void RegisterUIElementId(UIElement* element)
{
    if (element == nullptr)
        return;
    const int32_t index = UpperBound(element->GetId());
    if (index > 0 && gIdMap[index - 1].element == element)
        return;
    gIdMap.Insert(Entry{element, element->GetId()}, index);
}

void UnregisterUIElementId(UIElement* element)
{
    if (element == nullptr)
        return;
    const int32_t index = Find(element->GetId());
    if (index >= 0)
        gIdMap.RemoveAt(index);
}

UIElement* FindUIElementInIdMap(uint32_t id)
{
    const int32_t index = Find(id);
    return index >= 0 ? gIdMap[index].element : nullptr;
}

int32_t GetUIElementIdMapCount()
{
    return gIdMap.Count();
}
