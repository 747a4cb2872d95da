// TemplateManager: the registry of template stubs by GUID and by path (global gTemplateManager).
// The folder tree, the template files, "Templates/TemplateInfo.Bin" and the optimized templates of
// scenes are not built yet: stubs are registered by code (tools and tests), found by path (their
// file name, case-insensitive) or by GUID, and their templates are the ones bound to them.
// Guarded by the template lock; callers on the main thread and the resource thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"

class EntityTemplate;
class EntityTemplateStub;

// Stubs by GUID (sorted, no duplicates), owned by the manager.
class TemplateManager
{
public:
    TemplateManager() = default;
    ~TemplateManager();
    TemplateManager(const TemplateManager&) = delete;
    TemplateManager& operator=(const TemplateManager&) = delete;

    // Logs that template files cannot be read yet.
    void Init();
    // Takes ownership of the stub and indexes it; false (stub deleted) when its GUID is taken.
    bool RegisterStub(EntityTemplateStub* stub);
    bool RegisterGUID(EntityTemplateStub* stub);
    void UnregisterGUID(EntityTemplateStub* stub);
    EntityTemplateStub* FindStubByGUID(const SimpleGUID& guid) const;
    EntityTemplateStub* FindStubByPath(const char* path) const;
    // The bound template of the stub at the path; null for an empty path, a missing stub or a
    // template that is not loaded (loading from files is not built yet).
    EntityTemplate* GetTemplate(const char* path, bool load);
    EntityTemplate* GetTemplateByGUID(const SimpleGUID& guid, bool load);
    // Deletes every stub and with it every bound template.
    void Clear();

private:
    EntityTemplate* TemplateOf(EntityTemplateStub* stub, bool load, const char* what);

    Dynarray<EntityTemplateStub*> m_guidIndex;
    Dynarray<EntityTemplateStub*> m_stubs;
};

extern TemplateManager gTemplateManager;
