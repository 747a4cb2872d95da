#include "ui/StringHistoryContainer.h"

#include "core/reflection/RTTIClass.h"

RTTI_DEFINE_CLASS(StringHistoryContainer, RTTIPolyBaseClass)

void StringHistoryContainer::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = StringHistoryContainer;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Maximum size", &C::m_maximumSize));
    table.AddProperty(
        new RTTIDynarrayProperty<C, std::string, DynarraySafe<std::string>>("History", &C::m_history));
}

void StringHistoryContainer::Add(const char* text)
{
    if (text == nullptr || *text == '\0')
        return;
    for (int32_t i = 0; i < m_history.Count(); ++i)
    {
        if (m_history[i] == text)
        {
            const std::string entry = m_history[i];
            m_history.RemoveAt(i);
            m_history.Insert(entry, 0);
            return;
        }
    }
    m_history.Insert(std::string(text), 0);
    while (m_history.Count() > 0 && uint32_t(m_history.Count()) > m_maximumSize)
        m_history.RemoveAt(m_history.Count() - 1);
}

const char* StringHistoryContainer::GetAt(int32_t index) const
{
    if (index < 0 || index >= m_history.Count())
        return nullptr;
    return m_history[index].c_str();
}
