#include "ui/StringHistoryContainer.h"

#include "core/console/GameConsole.h"
#include "core/reflection/RTTIClass.h"
#include "core/reflection/RTTIPropertiesBase.h"
#include "core/reflection/RecordStream.h"

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

// One history as it lies at the reader, in one of the two orders.
struct StringHistoryLayout
{
    uint32_t count = 0;
    uint32_t maximumSize = 0;
    bool namesOnly = true;
    size_t end = 0;
};

// Walks the bytes from `in` as a history of the given order without reading them; false when they
// do not hold one whole. Nothing is logged: the other order may be the one that fits.
bool ScanStringHistoryLayout(RecordInput in, bool maximumFirst, StringHistoryLayout& layout)
{
    if ((maximumFirst && !in.ReadU32(layout.maximumSize)) || !in.ReadU32(layout.count) ||
        layout.count > in.Remaining())
        return false;
    for (uint32_t i = 0; i < layout.count; ++i)
    {
        if (in.Remaining() == 0)
            return false;
        const uint8_t first = *in.Cursor();
        layout.namesOnly &= first <= 1;
        if (first == 0)
            in.Skip(1);
        else
        {
            const char* text;
            size_t length;
            if ((first == 1 && !in.Skip(1)) || !in.ReadCString(text, length))
                return false;
        }
    }
    if (!maximumFirst && !in.ReadU32(layout.maximumSize))
        return false;
    layout.end = in.Position();
    return true;
}
} // namespace

RTTI_DEFINE_CLASS(StringHistoryContainer, RTTIPolyBaseClass)

void StringHistoryContainer::BuildClassProperties(RTTIPropertiesBase& table)
{
    table.AddProperty(new HistoryProperty("History", &C::m_history));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Maximum size", &C::m_maximumSize));
}

bool StringHistoryContainer::ReadEitherOrder(RecordInput& in, StringHistoryContainer* target)
{
    // Today's order is taken whenever the bytes read whole in it as names, whatever the count
    // against the maximum; the earlier order, maximum first, only otherwise. An odd history of
    // today's order is the last resort.
    StringHistoryLayout layout;
    bool maximumFirst = false;
    const bool current = ScanStringHistoryLayout(in, false, layout);
    if (!current || !layout.namesOnly)
    {
        StringHistoryLayout earlier;
        if (ScanStringHistoryLayout(in, true, earlier))
        {
            layout = earlier;
            maximumFirst = true;
        }
        else if (!current)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Record of class StringHistoryContainer is truncated or malformed");
            return false;
        }
    }
    if (target == nullptr)
        return in.Skip(layout.end - in.Position());
    const RTTIPropertiesBase* const table = StaticClassProperties();
    const RTTIProperty* const history = table->FindProperty("History");
    const RTTIProperty* const maximum = table->FindProperty("Maximum size");
    target->OnPreLoad(0);
    const bool read = maximumFirst ? maximum->Deserialize(in, target, 0) && history->Deserialize(in, target, 0)
                                   : history->Deserialize(in, target, 0) && maximum->Deserialize(in, target, 0);
    target->OnPostLoad(0);
    return read;
}

bool StringHistoryContainer::DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t, size_t* consumed)
{
    RecordInput probe(buffer, size);
    if (!ReadEitherOrder(probe, nullptr))
        return false;
    RecordInput in(buffer, size);
    if (!ReadEitherOrder(in, this))
        return false;
    if (consumed != nullptr)
        *consumed = in.Position();
    return true;
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
