#include "scene/templates/TemplateFolder.h"

#include "scene/templates/EntityTemplateStub.h"

#include <cstring>

namespace
{
char Fold(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

// Case-insensitive order of a name of `length` bytes against a terminated name.
int CompareNoCase(const char* a, size_t length, const char* b)
{
    for (size_t i = 0; i < length; ++i)
    {
        const unsigned char ca = uint8_t(Fold(a[i]));
        const unsigned char cb = uint8_t(Fold(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (cb == 0)
            return 1;
    }
    return b[length] == 0 ? 0 : -1;
}

// First index whose name does not sort before `name`.
template <class T, class TName>
int32_t LowerBoundByName(const Dynarray<T*>& list, const char* name, size_t length, TName nameOf)
{
    int32_t low = 0;
    int32_t high = list.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (CompareNoCase(name, length, nameOf(list[middle])) > 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// First index whose name sorts after `name` (equal names keep their arrival order).
template <class T, class TName>
int32_t UpperBoundByName(const Dynarray<T*>& list, const char* name, TName nameOf)
{
    int32_t low = 0;
    int32_t high = list.Count();
    const size_t length = std::strlen(name);
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (CompareNoCase(name, length, nameOf(list[middle])) >= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

const char* FolderName(const TemplateFolder* folder)
{
    return folder->GetName();
}

const char* StubName(const EntityTemplateStub* stub)
{
    return stub->GetFileName();
}
} // namespace

TemplateFolder::TemplateFolder(const char* name, TemplateFolder* parent)
    : m_name(name != nullptr ? name : ""), m_hasName(name != nullptr), m_parent(parent)
{
}

TemplateFolder::~TemplateFolder()
{
    m_stubs.DeleteAllPointers();
    m_subfolders.DeleteAllPointers();
}

TemplateFolder* TemplateFolder::AddSubfolder(TemplateFolder* folder)
{
    m_subfolders.Insert(folder, UpperBoundByName(m_subfolders, folder->GetName(), FolderName));
    return folder;
}

void TemplateFolder::AddStub(EntityTemplateStub* stub, bool sorted)
{
    if (sorted)
        m_stubs.Insert(stub, UpperBoundByName(m_stubs, stub->GetFileName(), StubName));
    else
        m_stubs.Add(stub);
    stub->SetFolder(this);
}

void TemplateFolder::DetachAllStubs()
{
    for (EntityTemplateStub* stub : m_stubs)
        stub->SetFolder(nullptr);
    m_stubs.Clear();
    for (TemplateFolder* folder : m_subfolders)
        folder->DetachAllStubs();
}

TemplateFolder* TemplateFolder::FindSubfolder(const char* name, size_t length) const
{
    const int32_t at = LowerBoundByName(m_subfolders, name, length, FolderName);
    if (at < m_subfolders.Count() && CompareNoCase(name, length, m_subfolders[at]->GetName()) == 0)
        return m_subfolders[at];
    return nullptr;
}

EntityTemplateStub* TemplateFolder::FindStub(const char* name) const
{
    const size_t length = std::strlen(name);
    const int32_t at = LowerBoundByName(m_stubs, name, length, StubName);
    if (at < m_stubs.Count() && CompareNoCase(name, length, m_stubs[at]->GetFileName()) == 0)
        return m_stubs[at];
    return nullptr;
}

EntityTemplateStub* TemplateFolder::FindStubByPath(const char* path) const
{
    const TemplateFolder* folder = this;
    for (;;)
    {
        const char* end = path;
        while (*end != 0 && *end != '/' && *end != '\\')
            ++end;
        if (*end == 0)
            return *path != 0 ? folder->FindStub(path) : nullptr;
        folder = folder->FindSubfolder(path, size_t(end - path));
        if (folder == nullptr)
            return nullptr;
        path = end + 1;
    }
}

std::string TemplateFolder::BuildPath(bool withRoot) const
{
    if (m_parent == nullptr)
        return withRoot && m_hasName ? m_name + "/" : std::string();
    return m_parent->BuildPath(withRoot) + m_name + "/";
}
