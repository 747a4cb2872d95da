#include "scene/templates/EntityTemplateStub.h"

#include "core/threads/CriticalSection.h"
#include "scene/templates/EntityTemplate.h"

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
    EntityTemplate* const bound = m_template;
    SetTemplate(nullptr);
    delete bound;
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
    EntityTemplate* const bound = m_template;
    SetTemplate(nullptr);
    // A template the resource manager holds goes through its reference count; a template made in
    // memory is ours to delete.
    if (bound->GetPool() != nullptr)
        bound->Resource::Release();
    else
        delete bound;
    return true;
}
