#include "gameplay/behaviour/BehaviourPropertyStore.h"

#include "core/console/GameConsole.h"
#include "core/strings/StringUtils.h"

#include <cstdlib>
#include <cstring>

int32_t BehaviourPropertyStore::Find(const char* key) const
{
    int32_t low = 0;
    int32_t high = m_pairs.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (StrICmp(m_pairs[middle].key.CStr(), key) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low < m_pairs.Count() && StrICmp(m_pairs[low].key.CStr(), key) == 0 ? low : -1;
}

int32_t BehaviourPropertyStore::UpperBound(const char* key) const
{
    int32_t low = 0;
    int32_t high = m_pairs.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (StrICmp(m_pairs[middle].key.CStr(), key) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void BehaviourPropertyStore::Set(const NameString& key, const NameString& value)
{
    const int32_t position = UpperBound(key.CStr());
    if (position > 0 && StrICmp(m_pairs[position - 1].key.CStr(), key.CStr()) == 0)
    {
        m_pairs[position - 1].value = value;
        return;
    }
    m_pairs.Insert(Pair{key, value}, position);
}

const char* BehaviourPropertyStore::ValueOrReport(int32_t index) const
{
    const Pair& pair = m_pairs[index];
    if (pair.value.IsEmpty())
    {
        gConsole.Error(CONSOLE_CHANNEL_SPEAKER, "Speaker: \"%s\" has NULL value", pair.key.CStr());
        return nullptr;
    }
    return pair.value.CStr();
}

bool BehaviourPropertyStore::ReadBool(int32_t index) const
{
    const char* text = ValueOrReport(index);
    return text != nullptr && (std::strcmp(text, "1") == 0 || std::strcmp(text, "true") == 0);
}

int32_t BehaviourPropertyStore::ReadInt(int32_t index) const
{
    const char* text = ValueOrReport(index);
    return text != nullptr ? int32_t(std::strtol(text, nullptr, 10)) : 0;
}

uint32_t BehaviourPropertyStore::ReadUnsigned(int32_t index) const
{
    // The leading number as a signed value, as the stored text was written: "-1" is 0xFFFFFFFF.
    const char* text = ValueOrReport(index);
    return text != nullptr ? uint32_t(std::strtol(text, nullptr, 10)) : 0u;
}

float BehaviourPropertyStore::ReadFloat(int32_t index) const
{
    const char* text = ValueOrReport(index);
    return text != nullptr ? float(std::strtod(text, nullptr)) : 0.0f;
}
