#include "core/reflection/RTTIClassRegistry.h"

#include "core/containers/Dynarray.h"

#include <cstdlib>
#include <cstring>

namespace
{
struct ClassRow
{
    char* name;
    char* baseName;
    RTTIClassRegistry::Creator creator;
};

// Both tables share the name copies; created on first use. The tables themselves are never
// destroyed, so a static object that outlives the exit handler still finds them, empty.
struct ClassTables
{
    Dynarray<ClassRow> byId;
    Dynarray<ClassRow> byName;
};

ClassTables& Tables()
{
    static ClassTables* tables = [] {
        std::atexit(&RTTIClassRegistry::Clear);
        return new ClassTables;
    }();
    return *tables;
}

char* CopyName(const char* name)
{
    if (name == nullptr || *name == 0)
        return nullptr;
    const size_t length = std::strlen(name);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    std::memcpy(copy, name, length + 1);
    return copy;
}

int CompareRowName(const char* a, const char* b)
{
    return std::strcmp(a ? a : "", b ? b : "");
}

// Grows by exactly one row when full.
void AddRow(Dynarray<ClassRow>& table, const ClassRow& row, int32_t index)
{
    if (table.Count() == table.Capacity())
        table.SetCapacity(table.Capacity() + 1);
    table.Insert(row, index);
}

// First row whose name sorts after `name`.
int32_t UpperBound(const Dynarray<ClassRow>& table, const char* name)
{
    int32_t low = 0;
    int32_t high = table.Count();
    while (low < high)
    {
        const int32_t middle = (low + high) / 2;
        if (CompareRowName(table[middle].name, name) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
} // namespace

int RTTIClassRegistry::RegisterClass(const char* className, const char* baseClassName, Creator creator)
{
    ClassTables& tables = Tables();
    const ClassRow row{CopyName(className), CopyName(baseClassName), creator};
    AddRow(tables.byName, row, UpperBound(tables.byName, className));
    AddRow(tables.byId, row, tables.byId.Count());
    return tables.byId.Count() - 1;
}

int RTTIClassRegistry::EnsureClassRegistered(const char* className, const char* baseClassName, Creator creator)
{
    const int existing = FindClassId(className);
    return existing >= 0 ? existing : RegisterClass(className, baseClassName, creator);
}

int RTTIClassRegistry::FindClassId(const char* className)
{
    const Dynarray<ClassRow>& byId = Tables().byId;
    for (int32_t i = 0; i < byId.Count(); ++i)
        if (CompareRowName(byId[i].name, className) == 0)
            return i;
    return -1;
}

RTTIPolyBaseClass* RTTIClassRegistry::CreateObject(const char* className)
{
    const Dynarray<ClassRow>& byName = Tables().byName;
    const int32_t after = UpperBound(byName, className);
    if (after == 0 || CompareRowName(byName[after - 1].name, className) != 0)
        return nullptr;
    const int id = FindClassId(className);
    const Creator creator = Tables().byId[id].creator;
    return creator != nullptr ? creator(id) : nullptr;
}

const char* RTTIClassRegistry::GetBaseClassName(int classId)
{
    const Dynarray<ClassRow>& byId = Tables().byId;
    return classId >= 0 && classId < byId.Count() ? byId[classId].baseName : nullptr;
}

const char* RTTIClassRegistry::GetClassName(int classId)
{
    const Dynarray<ClassRow>& byId = Tables().byId;
    return classId >= 0 && classId < byId.Count() ? byId[classId].name : nullptr;
}

int RTTIClassRegistry::GetClassCount()
{
    return Tables().byId.Count();
}

void RTTIClassRegistry::Clear()
{
    ClassTables& tables = Tables();
    for (const ClassRow& row : tables.byId)
    {
        std::free(row.name);
        std::free(row.baseName);
    }
    tables.byId.FreeStorage();
    tables.byName.FreeStorage();
}
