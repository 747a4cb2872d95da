// TemplateManager: the registry of template stubs by GUID and by path (global gTemplateManager).
// Filled at start-up from the packed index "Templates/TemplateInfo.Bin" or by scanning the
// ".template" stubs of the "templates" folder into a tree of TemplateFolder nodes; tools and tests
// may also register stubs by code (found by their whole file name). Guarded by the template lock;
// callers on the main thread and the resource thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/containers/Dynarray.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class EntityTemplate;
class EntityTemplateStub;
class RecordInput;
class TemplateFolder;

// Stubs by GUID (sorted, no duplicates), owned by the manager.
class TemplateManager
{
public:
    TemplateManager();
    ~TemplateManager();
    TemplateManager(const TemplateManager&) = delete;
    TemplateManager& operator=(const TemplateManager&) = delete;

    // Once: the packed index when the data is packed (see IsDataPacked), else the folder scan.
    void Init();
    // The data counts as packed when the "templates" mount point is a container. The project
    // configuration names no such setting, so the mount decides.
    static bool IsDataPacked();
    // The root folder "templates" scanned for ".template" stubs.
    void LoadTemplateFolder();
    // Adds the ".template" stubs below `path` to `folder`, then recurses into its directories.
    void ScanTemplateFolder(TemplateFolder* folder, const char* path);
    // Reads a whole "Templates/TemplateInfo.Bin". Counts and sizes are checked against the bytes and
    // the GUIDs must ascend strictly; a file that fails any check registers nothing (logged).
    bool ReadTemplateInfo(const uint8_t* data, size_t size);
    TemplateFolder* GetRootFolder() const { return m_root.get(); }
    bool IsInitialised() const { return m_initialised; }
    // Takes ownership of the stub and indexes it by GUID (it joins no folder, so no path finds it);
    // false (stub deleted) when its GUID is taken.
    bool RegisterStub(EntityTemplateStub* stub);
    bool RegisterGUID(EntityTemplateStub* stub);
    void UnregisterGUID(EntityTemplateStub* stub);
    EntityTemplateStub* FindStubByGUID(const SimpleGUID& guid) const;
    EntityTemplateStub* FindStubByPath(const char* path) const;
    // The template of the stub at the path, loaded and waited for with `load`; null for an empty
    // path, a missing stub or a template whose body failed.
    EntityTemplate* GetTemplate(const char* path, bool load);
    // The stub's LoadTemplate under the template lock, waited for outside it: the template with one
    // resource reference for the caller to release, or null for an empty or unknown path and, with
    // `wait`, for a body that failed (its reference is then given back).
    EntityTemplate* GetTemplateLocked(const char* path, bool wait);
    // The same for the stub of a GUID; null for an unknown GUID.
    EntityTemplate* GetTemplateByGUIDLocked(const SimpleGUID& guid, bool wait);
    // Starts loading; false for an empty or unknown path.
    bool RequestTemplateByName(const char* path);
    EntityTemplate* GetTemplateByGUID(const SimpleGUID& guid, bool load);
    // The scene's "<scene>.opt" in `folder`: the bodies needed in `variation` (255: all) load on the
    // resource thread from the open stream and become optimized stubs. Counts and sizes are checked
    // against the file; a short or failed body is reported and its entry alone is dropped.
    void LoadOptimizedTemplates(const char* sceneName, const char* folder, uint8_t variation);
    // Drops every optimized stub whose template no entity uses.
    void UnloadTemplates();
    // Every stub tries to unload its template, then UnloadTemplates, a template eviction, a wait for
    // the renderer and a flush of the resource thread.
    void UnloadUnusedTemplates();
    // Deletes every stub and with it every bound template.
    void Clear();
    // Engine close: the optimized and the unused templates go, then every stub; Init may run again.
    void Close();

private:
    // The stub's LoadTemplate, waited for outside the lock (GetTemplateLocked's rule).
    EntityTemplate* LoadStubTemplate(EntityTemplateStub* stub, bool wait);
    bool ReadFolderRecord(RecordInput& in, TemplateFolder* folder, const Dynarray<EntityTemplateStub*>& stubs,
                          int depth);

    Dynarray<EntityTemplateStub*> m_guidIndex;
    // Stubs registered by code or listed by no folder of the index; owned here.
    Dynarray<EntityTemplateStub*> m_stubs;
    std::unique_ptr<TemplateFolder> m_root;
    bool m_initialised = false;
};

extern TemplateManager gTemplateManager;
