#include "gameplay/behaviour/BehaviourTreePropertyBindings.h"

#include "gameplay/behaviour/BehaviourNode.h"

#include <cstring>

RTTI_DEFINE_CLASS(BehaviourTreePropertySpeaker, RTTIPolyBaseClass)

void BehaviourTreePropertySpeaker::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BehaviourTreePropertySpeaker;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Listener", &C::m_listener, 0x80));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Value", &C::m_value, 0x100));
}

void BehaviourTreePropertySpeaker::GetPropertyChoices(const char* propertyName,
                                                      DynarraySafe<NameString>& choices) const
{
    if (propertyName == nullptr || std::strcmp(propertyName, "Listener") != 0)
        return;
    if (m_owner == nullptr)
    {
        choices.Add(NameString("Error"));
        return;
    }
    const int32_t before = choices.Count();
    m_owner->CollectSubtreeListenedKeys(choices);
    if (choices.Count() == before)
        choices.Add(NameString("Empty"));
}

RTTI_DEFINE_CLASS(BehaviourTreePropertyListener, RTTIPolyBaseClass)

void BehaviourTreePropertyListener::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = BehaviourTreePropertyListener;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Property", &C::m_property, 0x80));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, NameString>("Listener", &C::m_listener, 0x100));
}

void BehaviourTreePropertyListener::GetPropertyChoices(const char* propertyName,
                                                       DynarraySafe<NameString>& choices) const
{
    if (propertyName == nullptr || std::strcmp(propertyName, "Property") != 0)
        return;
    if (m_owner == nullptr)
    {
        choices.Add(NameString("Error"));
        return;
    }
    DynarraySafe<NameString> names;
    m_owner->GetListenableProperties(names);
    for (const NameString& name : names)
        if (choices.IsEmpty() || !(choices[choices.Count() - 1] == name))
            choices.Add(name);
}
