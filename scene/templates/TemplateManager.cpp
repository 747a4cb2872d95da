#include "scene/templates/TemplateManager.h"

#include "core/console/GameConsole.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"


TemplateManager gTemplateManager;

namespace
{
// Holds the template lock for a scope.
struct TemplateLockScope
{
    TemplateLockScope() { LockTemplates(); }
    ~TemplateLockScope() { UnlockTemplates(); }
    TemplateLockScope(const TemplateLockScope&) = delete;
    TemplateLockScope& operator=(const TemplateLockScope&) = delete;
};

int32_t LowerBound(const Dynarray<EntityTemplateStub*>& index, const SimpleGUID& guid)
{
    int32_t low = 0;
    int32_t high = index.Count();
    while (low < high)
    {
        const int32_t middle = low + (high - low) / 2;
        if (SimpleGUID::Compare(index[middle]->GetGUID(), guid) < 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// ASCII case folding only, both separators alike.
bool SamePath(const char* a, const char* b)
{
    for (;; ++a, ++b)
    {
        char ca = *a == '\\' ? '/' : *a;
        char cb = *b == '\\' ? '/' : *b;
        ca = (ca >= 'A' && ca <= 'Z') ? char(ca + 32) : ca;
        cb = (cb >= 'A' && cb <= 'Z') ? char(cb + 32) : cb;
        if (ca != cb)
            return false;
        if (ca == 0)
            return true;
    }
}
} // namespace

TemplateManager::~TemplateManager()
{
    Clear();
}

void TemplateManager::Init()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "TemplateManager::Init");
    gConsole.Warning(CONSOLE_CHANNEL_ENGINE, "TemplateManager: template files are not read yet");
}

bool TemplateManager::RegisterStub(EntityTemplateStub* stub)
{
    TemplateLockScope lock;
    if (!RegisterGUID(stub))
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to register template due to duplicated GUID: %s",
                       stub->GetFileName());
        delete stub;
        return false;
    }
    m_stubs.Add(stub);
    return true;
}

bool TemplateManager::RegisterGUID(EntityTemplateStub* stub)
{
    TemplateLockScope lock;
    if ((stub->GetFlags() & EntityTemplateStub::FLAG_GUID_INDEXED) != 0)
        return false;
    const int32_t at = LowerBound(m_guidIndex, stub->GetGUID());
    if (at < m_guidIndex.Count() && m_guidIndex[at]->GetGUID() == stub->GetGUID())
        return false;
    m_guidIndex.Insert(stub, at);
    stub->SetFlags(uint8_t(stub->GetFlags() | EntityTemplateStub::FLAG_GUID_INDEXED));
    return true;
}

void TemplateManager::UnregisterGUID(EntityTemplateStub* stub)
{
    TemplateLockScope lock;
    if ((stub->GetFlags() & EntityTemplateStub::FLAG_GUID_INDEXED) == 0)
        return;
    const int32_t at = LowerBound(m_guidIndex, stub->GetGUID());
    if (at < m_guidIndex.Count() && m_guidIndex[at] == stub)
    {
        m_guidIndex.RemoveAt(at);
        stub->SetFlags(uint8_t(stub->GetFlags() & ~EntityTemplateStub::FLAG_GUID_INDEXED));
    }
}

EntityTemplateStub* TemplateManager::FindStubByGUID(const SimpleGUID& guid) const
{
    const int32_t at = LowerBound(m_guidIndex, guid);
    return at < m_guidIndex.Count() && m_guidIndex[at]->GetGUID() == guid ? m_guidIndex[at] : nullptr;
}

EntityTemplateStub* TemplateManager::FindStubByPath(const char* path) const
{
    if (path == nullptr || path[0] == 0)
        return nullptr;
    for (EntityTemplateStub* stub : m_stubs)
        if (SamePath(stub->GetFileName(), path))
            return stub;
    return nullptr;
}

EntityTemplate* TemplateManager::TemplateOf(EntityTemplateStub* stub, bool load, const char* what)
{
    if (stub == nullptr)
        return nullptr;
    EntityTemplate* const bound = stub->GetTemplate();
    if (bound == nullptr && load)
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Template %s is not loaded and template files are not read yet", what);
    return bound;
}

EntityTemplate* TemplateManager::GetTemplate(const char* path, bool load)
{
    TemplateLockScope lock;
    return TemplateOf(FindStubByPath(path), load, path);
}

EntityTemplate* TemplateManager::GetTemplateByGUID(const SimpleGUID& guid, bool load)
{
    TemplateLockScope lock;
    EntityTemplateStub* const stub = FindStubByGUID(guid);
    return TemplateOf(stub, load, stub != nullptr ? stub->GetFileName() : "");
}

void TemplateManager::Clear()
{
    TemplateLockScope lock;
    m_guidIndex.FreeStorage();
    for (EntityTemplateStub* stub : m_stubs)
        stub->SetFlags(uint8_t(stub->GetFlags() & ~EntityTemplateStub::FLAG_GUID_INDEXED));
    m_stubs.DeleteAllPointers();
}
