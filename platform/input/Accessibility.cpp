#include "platform/input/Accessibility.h"

#include "platform/input/InputHardwareState.h"

namespace input
{
namespace
{
template <typename T>
bool Read(const T& stored, T& out)
{
    if (out.size != sizeof(T))
        return false;
    out = stored;
    return true;
}

template <typename T>
bool Write(T& stored, const T& value)
{
    if (value.size != sizeof(T))
        return false;
    stored = value;
    return true;
}
} // namespace

bool GetStickyKeys(StickyKeys& out)
{
    return Read(detail::Hardware().stickyKeys, out);
}

bool SetStickyKeys(const StickyKeys& value)
{
    return Write(detail::Hardware().stickyKeys, value);
}

bool GetToggleKeys(ToggleKeys& out)
{
    return Read(detail::Hardware().toggleKeys, out);
}

bool SetToggleKeys(const ToggleKeys& value)
{
    return Write(detail::Hardware().toggleKeys, value);
}

bool GetFilterKeys(FilterKeys& out)
{
    return Read(detail::Hardware().filterKeys, out);
}

bool SetFilterKeys(const FilterKeys& value)
{
    return Write(detail::Hardware().filterKeys, value);
}
} // namespace input
