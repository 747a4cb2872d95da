#include "ui/StringHistoryContainer.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIClass.h"

namespace
{
using C = StringHistoryContainer;
using NameArray = DynarraySafe<NameString>;
using BaseProperty = RTTIDynarrayProperty<C, NameString, NameArray>;

// "History" as names: a presence byte (0 empty, 1 text follows) and the text. Configurations saved
// before kept plain texts, whose first byte is a typed character (never 0 or 1): such an entry is
// read as its text, with one warning, instead of taking its first character for a presence byte.
class HistoryProperty : public BaseProperty
{
public:
    HistoryProperty(const char* name, NameArray C::*member) : BaseProperty(name, member), m_member(member) {}

    bool Deserialize(RecordInput& in, RTTIPolyBaseClass* object, uint32_t) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, 1, GetName().c_str(), count))
            return false;
        NameArray entries;
        bool oldForm = false;
        for (uint32_t i = 0; i < count; ++i)
        {
            NameString entry;
            if (!ReadEntry(in, &entry, oldForm))
                return false;
            entries.Add(entry);
        }
        if (oldForm)
            gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "The console history was saved in the old form and is converted");
        static_cast<C*>(object)->*m_member = std::move(entries);
        return true;
    }
    bool Validate(RecordInput& in, uint32_t) const override
    {
        uint32_t count;
        if (!rtti::ReadElementCount(in, 1, GetName().c_str(), count))
            return false;
        bool oldForm = false;
        for (uint32_t i = 0; i < count; ++i)
            if (!ReadEntry(in, nullptr, oldForm))
                return false;
        return true;
    }

private:
    static bool ReadEntry(RecordInput& in, NameString* entry, bool& oldForm)
    {
        if (in.Remaining() == 0)
            return false;
        const uint8_t first = *in.Cursor();
        if (first == 0)
            return in.Skip(1);
        if (first == 1 && !in.Skip(1))
            return false;
        oldForm |= first != 1;
        const char* text;
        size_t length;
        if (!in.ReadCString(text, length))
            return false;
        if (entry != nullptr)
            RTTIAssignNameText(*entry, text, length);
        return true;
    }

    NameArray C::*m_member;
};
} // namespace

RTTI_DEFINE_CLASS(StringHistoryContainer, RTTIPolyBaseClass)

void StringHistoryContainer::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Maximum size", &C::m_maximumSize));
    table.AddProperty(new HistoryProperty("History", &C::m_history));
}

void StringHistoryContainer::Add(const char* text)
{
    if (text == nullptr || *text == '\0')
        return;
    const NameString name(text);
    for (int32_t i = 0; i < m_history.Count(); ++i)
    {
        if (m_history[i] == name)
        {
            if (i > 0)
            {
                m_history.RemoveAt(i);
                m_history.Insert(name, 0);
            }
            return;
        }
    }
    m_history.Insert(name, 0);
    while (m_history.Count() > 0 && uint32_t(m_history.Count()) > m_maximumSize)
        m_history.RemoveAt(m_history.Count() - 1);
}

NameString StringHistoryContainer::GetAt(int32_t index) const
{
    if (index < 0 || index >= m_history.Count())
        return NameString();
    return m_history[index];
}
