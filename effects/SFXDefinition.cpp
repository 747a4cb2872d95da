#include "effects/SFXDefinition.h"

#include "renderer/NorvexRenderer.h"

namespace
{
// Nothing the render thread runs may still read an element that is about to change.
void WaitForRenderThread()
{
    if (gRenderer != nullptr)
        gRenderer->SubmitCommands(true);
}
} // namespace

RTTI_DEFINE_CLASS(SFXElementDefinition, RTTIPolyBaseClass)

void SFXElementDefinition::BuildClassProperties(RTTIPropertiesBase&) {}

RTTI_DEFINE_CLASS(SFXDefinition, RTTIPolyBaseClass)

void SFXDefinition::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = SFXDefinition;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Scale for all elements", &C::m_scale));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, float>("Delete timeout", &C::m_deleteTimeout));
    table.AddProperty(
        new RTTIDynarrayOfPolyObjectPointersProperty<C, SFXElementDefinition>("Element definitions", &C::m_elements));
}

SFXDefinition::~SFXDefinition()
{
    m_elements.DeleteAllPointers();
}

void SFXDefinition::ReleaseElementResources(uint32_t flag)
{
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->ReleaseResources(flag);
}

void SFXDefinition::PreloadElementResources()
{
    WaitForRenderThread();
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->RequestResources();
}

void SFXDefinition::SetElementResourceFlags(uint32_t flags)
{
    for (SFXElementDefinition* element : m_elements)
        if (element != nullptr)
            element->SetResourceFlags(flags);
}

void SFXDefinition::DeleteUnflaggedElements()
{
    WaitForRenderThread();
    int32_t kept = 0;
    for (int32_t i = 0; i < m_elements.Count(); ++i)
    {
        SFXElementDefinition* const element = m_elements[i];
        if (element != nullptr && element->IsKept())
            m_elements[kept++] = element;
        else
            delete element;
    }
    while (m_elements.Count() > kept)
        m_elements.RemoveAt(m_elements.Count() - 1);
}
