// EntityTemplateStub: the resident record of one template file (file name, GUID, type id, flags and
// the template while it is loaded). Stubs and their binding are guarded by the template lock, a
// recursive critical section, because the resource thread reads templates too; the rest of the
// template manager (folders, the GUID index, template files) is built on top of this record.
#pragma once

#include "core/SimpleGUID.h"
#include "core/reflection/RTTIClass.h"

#include <cstdint>
#include <string>

class EntityTemplate;
class TemplateFolder;

// One template file's resident record.
class EntityTemplateStub : public RTTIPolyBaseClass
{
    RTTI_DECLARE_CLASS(EntityTemplateStub, RTTIPolyBaseClass)

public:
    enum Flags : uint8_t
    {
        FLAG_OPTIMIZED = 1,   // from the optimized templates file
        FLAG_GUID_INDEXED = 2, // registered in the GUID index
    };

    EntityTemplateStub() = default;
    ~EntityTemplateStub() override;

    const char* GetFileName() const { return m_fileName.c_str(); }
    void SetFileName(const char* name) { m_fileName = name != nullptr ? name : ""; }
    const SimpleGUID& GetGUID() const { return m_guid; }
    void SetGUID(const SimpleGUID& guid) { m_guid = guid; }
    uint32_t GetTypeId() const { return m_typeId; }
    void SetTypeId(uint32_t typeId) { m_typeId = typeId; }
    uint8_t GetFlags() const { return m_flags; }
    void SetFlags(uint8_t flags) { m_flags = flags; }

    TemplateFolder* GetFolder() const { return m_folder; }
    void SetFolder(TemplateFolder* folder) { m_folder = folder; }
    // The folder path with its root name, then the file name; "/" when the stub has no folder.
    std::string GetPath() const;
    // The first line (at most 128 bytes) of "<folder>/<name>.template" must be a TemplateStub
    // element with GUID and Type; stores them and the name. False, with nothing changed, otherwise.
    bool ReadFromTemplateFile(const char* name, const char* folderPath);

    EntityTemplate* GetTemplate() const { return m_template; }
    // The bound template; with `load` it is requested and waited for. Null when it is missing or its
    // body failed to load.
    EntityTemplate* GetTemplate(bool load);
    // Under the template lock: binds the template resource named by GetPath (one resource reference)
    // when none is bound; the resource manager loads it.
    EntityTemplate* RequestTemplate();
    // Binds the template as RequestTemplate does and adds a resource reference that the caller
    // releases (Resource::Release); with `wait` it is loaded and waited for, inline on the resource
    // thread. Null when it cannot be had.
    EntityTemplate* LoadTemplate(bool wait);
    // Binds a template (or unbinds with null) under the template lock; the template learns its stub.
    void SetTemplate(EntityTemplate* entityTemplate);
    // Under the template lock: deletes the bound template when no entity uses it. False while users
    // remain; true when it went or nothing was bound.
    bool UnloadTemplate();

private:
    // Unbinds and frees (or releases to its pool) the bound template; under the template lock.
    void DropTemplate();

    TemplateFolder* m_folder = nullptr;
    std::string m_fileName;
    SimpleGUID m_guid;
    uint32_t m_typeId = 0;
    uint8_t m_flags = 0;
    EntityTemplate* m_template = nullptr;
};

// The lock of the template registry and every stub (recursive).
void LockTemplates();
void UnlockTemplates();
