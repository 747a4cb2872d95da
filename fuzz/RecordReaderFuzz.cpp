// The object-record reader over arbitrary bytes, into a class holding every property type. The first
// byte picks the serialization flags; the rest is a whole record. A record that reads must write
// back to a record that reads to an equal object.
#include "core/reflection/ObjectRecord.h"
#include "tests/support/AllPropertyTypes.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FakeEntityResolver resolver;
    static const bool registered = (RegisterAllPropertyTypesClasses(), true);
    (void)registered;
    if (size == 0)
        return 0;
    static const uint32_t kFlags[8] = {0, 1, 4, 8, 16, 1 | 16, 4 | 16, 8 | 16};
    const uint32_t flags = kFlags[data[0] & 7];
    AllPropertyTypes object;
    if (!ReadObjectRecord(object, data + 1, size - 1, flags))
        return 0;
    ResolvePendingEntityReferences();
    Dynarray<uint8_t> record;
    AllPropertyTypes copy;
    if (!BuildObjectRecord(object, flags & ~4u, record) ||
        !ReadObjectRecord(copy, record.Data(), size_t(record.Count()), flags & ~4u))
        __builtin_trap();
    // NaN floats never compare equal, so only the written bytes are compared.
    Dynarray<uint8_t> again;
    if (!BuildObjectRecord(copy, flags & ~4u, again) || again.Count() != record.Count() ||
        std::memcmp(again.Data(), record.Data(), size_t(record.Count())) != 0)
        __builtin_trap();
    return 0;
}
