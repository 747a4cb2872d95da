// TemplateFolder: one node of the template manager's folder tree, mirroring the "templates" folder.
// Subfolders are kept sorted by name and lookups bisect both lists case-insensitively. Guarded by
// the template lock (LockTemplates); callers on the main thread and the resource thread.
#pragma once

#include "core/containers/Dynarray.h"

#include <string>

class EntityTemplateStub;

// A folder of template stubs with its subfolders; owns both.
class TemplateFolder
{
public:
    TemplateFolder(const char* name, TemplateFolder* parent);
    ~TemplateFolder();
    TemplateFolder(const TemplateFolder&) = delete;
    TemplateFolder& operator=(const TemplateFolder&) = delete;

    const char* GetName() const { return m_name.c_str(); }
    bool HasName() const { return m_hasName; }
    TemplateFolder* GetParent() const { return m_parent; }
    const Dynarray<TemplateFolder*>& GetSubfolders() const { return m_subfolders; }
    const Dynarray<EntityTemplateStub*>& GetStubs() const { return m_stubs; }

    // Takes ownership; inserted at its place by name (case-insensitive).
    TemplateFolder* AddSubfolder(TemplateFolder* folder);
    // Takes ownership; `sorted` inserts by file name, otherwise appends (index files keep their order).
    void AddStub(EntityTemplateStub* stub, bool sorted);
    // Empties the stub lists of this folder and every subfolder without deleting the stubs.
    void DetachAllStubs();

    TemplateFolder* FindSubfolder(const char* name, size_t length) const;
    EntityTemplateStub* FindStub(const char* name) const;
    // Walks the folder names of `path` ('/' or '\' between them) and bisects the last list.
    EntityTemplateStub* FindStubByPath(const char* path) const;

    // The names from the top folder down, each followed by "/"; the root's name only with `withRoot`.
    std::string BuildPath(bool withRoot) const;

    // Calls `visit` on every stub of this folder and its subfolders.
    template <class TVisit>
    void ForEachStub(TVisit&& visit) const
    {
        for (EntityTemplateStub* stub : m_stubs)
            visit(stub);
        for (const TemplateFolder* folder : m_subfolders)
            folder->ForEachStub(visit);
    }

private:
    std::string m_name;
    bool m_hasName;
    TemplateFolder* m_parent;
    Dynarray<TemplateFolder*> m_subfolders;
    Dynarray<EntityTemplateStub*> m_stubs;
};
