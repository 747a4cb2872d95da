#include "scene/templates/EntityTemplateStub.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/threads/CriticalSection.h"
#include "renderer/resources/ResourceManager.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/TemplateFolder.h"

#include <tinyxml.h>

#include <cstdlib>
#include <cstring>

namespace
{
CriticalSection& TemplateLock()
{
    static CriticalSection lock;
    return lock;
}

// Holds the template lock for a scope.
class TemplateLockScope
{
public:
    TemplateLockScope() { LockTemplates(); }
    ~TemplateLockScope() { UnlockTemplates(); }
    TemplateLockScope(const TemplateLockScope&) = delete;
    TemplateLockScope& operator=(const TemplateLockScope&) = delete;
};
} // namespace

void LockTemplates()
{
    TemplateLock().Enter();
}

void UnlockTemplates()
{
    TemplateLock().Leave();
}

RTTI_DEFINE_CLASS_TABLE(EntityTemplateStub, RTTIPolyBaseClass)

void EntityTemplateStub::BuildClassProperties(RTTIPropertiesBase& table)
{
    using C = EntityTemplateStub;
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, std::string>("File name", &C::m_fileName));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, SimpleGUID>("GUID", &C::m_guid));
    table.AddProperty(new RTTIDirectAccessTypedProperty<C, uint32_t>("Type", &C::m_typeId));
}

EntityTemplateStub::~EntityTemplateStub()
{
    TemplateLockScope lock;
    DropTemplate();
}

void EntityTemplateStub::DropTemplate()
{
    EntityTemplate* const bound = m_template;
    if (bound == nullptr)
        return;
    SetTemplate(nullptr);
    // A template the resource manager holds goes through its reference count (the pool deletes
    // it); only a template made in memory is ours to delete.
    if (bound->GetPool() != nullptr)
        bound->Resource::Release();
    else
        delete bound;
}

EntityTemplate* EntityTemplateStub::RequestTemplate()
{
    TemplateLockScope lock;
    if (m_template != nullptr)
        return m_template;
    if (gResourceManager == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Template %s cannot load: the resource manager is not running",
                       GetPath().c_str());
        return nullptr;
    }
    const std::string path = GetPath();
    Resource* resource = gResourceManager->GetResource(RESOURCE_TYPE_TEMPLATE, path.c_str(), m_typeId, true, 0);
    EntityTemplate* entityTemplate = dynamic_cast<EntityTemplate*>(resource);
    if (entityTemplate == nullptr)
    {
        if (resource != nullptr)
            resource->Release();
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Template %s of type %u is not an entity template", path.c_str(),
                       m_typeId);
        return nullptr;
    }
    SetTemplate(entityTemplate);
    return entityTemplate;
}

EntityTemplate* EntityTemplateStub::LoadTemplate(bool wait)
{
    EntityTemplate* entityTemplate = nullptr;
    {
        TemplateLockScope lock;
        entityTemplate = RequestTemplate();
        if (entityTemplate == nullptr)
            return nullptr;
        entityTemplate->Resource::AddRef();
    }
    // The caller's reference keeps the template alive while it waits outside the lock.
    if (wait && entityTemplate->GetPool() != nullptr)
        entityTemplate->Load(true);
    return entityTemplate;
}

EntityTemplate* EntityTemplateStub::GetTemplate(bool load)
{
    EntityTemplate* entityTemplate = nullptr;
    {
        TemplateLockScope lock;
        entityTemplate = m_template != nullptr || !load ? m_template : RequestTemplate();
    }
    if (entityTemplate == nullptr || entityTemplate->GetPool() == nullptr)
        return entityTemplate;
    // Waited for outside the lock: the resource thread takes it to bind stubs. From the resource
    // thread itself the load runs inline, so a body that needs another template cannot deadlock.
    if (load || entityTemplate->GetState() == RESOURCE_STATE_LOADING)
        entityTemplate->Load(true);
    // A template whose body failed is reported once by its reader and never handed out.
    return entityTemplate->IsLoaded() ? entityTemplate : nullptr;
}

void EntityTemplateStub::SetTemplate(EntityTemplate* entityTemplate)
{
    TemplateLockScope lock;
    if (m_template != nullptr && m_template != entityTemplate)
        m_template->SetStub(nullptr);
    m_template = entityTemplate;
    if (entityTemplate != nullptr)
        entityTemplate->SetStub(this);
}

bool EntityTemplateStub::UnloadTemplate()
{
    TemplateLockScope lock;
    if (m_template == nullptr)
        return true;
    if (m_template->GetUserReferences() != 0)
        return false;
    DropTemplate();
    return true;
}

std::string EntityTemplateStub::GetPath() const
{
    if (m_folder == nullptr)
        return "/";
    return m_folder->BuildPath(true) + m_fileName;
}

bool EntityTemplateStub::ReadFromTemplateFile(const char* name, const char* folderPath)
{
    FileReader reader;
    if (name == nullptr || !reader.Open(name, "template", folderPath, 0))
        return false;
    // The stub is the file's first line; the template body follows and is not ours to parse here.
    char line[129] = {};
    const uint32_t size = reader.GetSize();
    const uint32_t count = size < 128 ? size : 128;
    if (count == 0 || !reader.Read(line, count))
        return false;
    if (char* feed = static_cast<char*>(std::memchr(line, '\n', count)))
        *feed = 0;
    TiXmlDocument document;
    document.Parse(line);
    if (document.Error())
        return false;
    const TiXmlElement* element = document.RootElement();
    if (element == nullptr || std::strcmp(element->Value(), "TemplateStub") != 0)
        return false;
    const char* guidText = element->Attribute("GUID");
    const char* typeText = element->Attribute("Type");
    if (guidText == nullptr || typeText == nullptr)
        return false;
    SimpleGUID guid;
    if (!guid.FromString(guidText))
        return false;
    char* end = nullptr;
    const unsigned long typeId = std::strtoul(typeText, &end, 10);
    if (end == typeText || *end != 0 || typeId > 0xFFFFFFFFul)
        return false;
    m_guid = guid;
    m_typeId = uint32_t(typeId);
    m_fileName = name;
    return true;
}
