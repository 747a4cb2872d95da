#include "scene/templates/TemplateManager.h"

#include "core/console/GameConsole.h"
#include "core/filesystem/FileReader.h"
#include "core/filesystem/FileSystem.h"
#include "core/filesystem/FileSystemContainerMountPoint.h"
#include "core/reflection/RecordStream.h"
#include "core/strings/StringUtils.h"
#include "scene/kinds/MeshEntity.h"
#include "scene/templates/EntityTemplate.h"
#include "scene/templates/EntityTemplateStub.h"
#include "scene/templates/TemplateFolder.h"
#include "scene/templates/TemplateTypeRegistry.h"
#include "platform/os/Clock.h"
#include "renderer/NorvexRenderer.h"
#include "renderer/resources/ResourceManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <string>
#include <vector>


TemplateManager gTemplateManager;

namespace
{
// Holds the template lock for a scope.
struct TemplateManagerLockScope
{
    TemplateManagerLockScope() { LockTemplates(); }
    ~TemplateManagerLockScope() { UnlockTemplates(); }
    TemplateManagerLockScope(const TemplateManagerLockScope&) = delete;
    TemplateManagerLockScope& operator=(const TemplateManagerLockScope&) = delete;
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
} // namespace

TemplateManager::TemplateManager() = default;

TemplateManager::~TemplateManager()
{
    Clear();
}

void TemplateManager::Init()
{
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "TemplateManager::Init");
    if (m_initialised)
        return;
    if (IsDataPacked())
    {
        FileReader reader;
        if (reader.Open("Templates/TemplateInfo", "Bin", nullptr, 0))
        {
            std::vector<uint8_t> bytes(reader.GetSize());
            if (reader.Read(bytes.data(), uint32_t(bytes.size())))
                ReadTemplateInfo(bytes.data(), bytes.size());
            else
                gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Templates/TemplateInfo.Bin could not be read");
        }
    }
    else
    {
        LoadTemplateFolder();
    }
    m_initialised = true;
    MeshEntity::SetGlobalShaderPreset(NameString("Default"));
}

bool TemplateManager::IsDataPacked()
{
    return dynamic_cast<FileSystemContainerMountPoint*>(gFileSystem.FindMountPoint("templates")) != nullptr;
}

void TemplateManager::LoadTemplateFolder()
{
    TemplateManagerLockScope lock;
    if (m_root == nullptr)
        m_root = std::make_unique<TemplateFolder>("templates", nullptr);
    ScanTemplateFolder(m_root.get(), "templates");
}

void TemplateManager::ScanTemplateFolder(TemplateFolder* folder, const char* path)
{
    TemplateManagerLockScope lock;
    std::vector<std::string> files;
    std::vector<std::string> folders;
    {
        FileSystemIterator iterator(path, "*");
        while (const char* name = iterator.Next())
        {
            if (iterator.IsDirectory())
            {
                if (StrICmp(name, ".") != 0 && StrICmp(name, "..") != 0 && StrICmp(name, ".svn") != 0)
                    folders.emplace_back(name);
                continue;
            }
            const size_t length = std::strlen(name);
            if (length > 9 && StrICmp(name + length - 9, ".template") == 0)
                files.emplace_back(name, length - 9);
        }
    }
    // Sorted, so that of two stubs with one GUID the first in name order is kept, whatever order
    // the directory lists them in.
    auto byName = [](const std::string& a, const std::string& b) { return StrICmp(a.c_str(), b.c_str()) < 0; };
    std::sort(files.begin(), files.end(), byName);
    std::sort(folders.begin(), folders.end(), byName);
    for (const std::string& file : files)
    {
        EntityTemplateStub* stub = new EntityTemplateStub;
        if (!stub->ReadFromTemplateFile(file.c_str(), path))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Unable to load template entity from file: %s/%s", path,
                           file.c_str());
            delete stub;
            continue;
        }
        if (!RegisterGUID(stub))
        {
            const EntityTemplateStub* other = FindStubByGUID(stub->GetGUID());
            gConsole.Error(CONSOLE_CHANNEL_ENGINE,
                           "Unable to register template due to duplicated GUID: %s/%s (guid used by %s)", path,
                           file.c_str(), other != nullptr ? other->GetPath().c_str() : "");
            delete stub;
            continue;
        }
        folder->AddStub(stub, true);
    }
    for (const std::string& name : folders)
    {
        TemplateFolder* child = folder->AddSubfolder(new TemplateFolder(name.c_str(), folder));
        ScanTemplateFolder(child, (std::string(path) + "/" + name).c_str());
    }
}

bool TemplateManager::ReadTemplateInfo(const uint8_t* data, size_t size)
{
    TemplateManagerLockScope lock;
    // A second tree would drop the first with its stubs still in the GUID index.
    if (m_root != nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Templates/TemplateInfo.Bin: the registry is already filled");
        return false;
    }
    RecordInput in(data, size);
    uint32_t count = 0;
    // Each stub record is at least its u32 size, which bounds the count by the bytes there.
    if (!in.ReadU32(count) || count > in.Remaining() / 4)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Templates/TemplateInfo.Bin: stub count %u does not fit the file",
                       count);
        return false;
    }
    Dynarray<EntityTemplateStub*> stubs;
    auto fail = [&stubs](const char* why, uint32_t at) {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Templates/TemplateInfo.Bin: %s (stub %u); no template registered",
                       why, at);
        for (EntityTemplateStub* stub : stubs)
            stub->SetFlags(0);
        stubs.DeleteAllPointers();
        return false;
    };
    for (uint32_t i = 0; i < count; ++i)
    {
        uint32_t recordSize = 0;
        if (!in.ReadU32(recordSize) || recordSize > in.Remaining())
            return fail("a stub record passes the end of the file", i);
        EntityTemplateStub* stub = new EntityTemplateStub;
        stubs.Add(stub);
        size_t consumed = 0;
        if (!stub->DeserializeFromMemory(data + in.Position(), recordSize, 0, &consumed) || consumed != recordSize)
            return fail("a stub record is not a whole stub payload", i);
        in.Skip(recordSize);
        if (i > 0 && SimpleGUID::Compare(stubs[int32_t(i) - 1]->GetGUID(), stub->GetGUID()) >= 0)
            return fail("the stub GUIDs are not in strictly ascending order", i);
        if (FindStubByGUID(stub->GetGUID()) != nullptr)
            return fail("a stub GUID is already registered", i);
    }
    uint32_t rootNameLength = 0;
    std::string rootName;
    if (!in.ReadU32(rootNameLength) || rootNameLength > in.Remaining())
        return fail("the root folder record is cut short", count);
    rootName.resize(rootNameLength);
    in.ReadBytes(rootName.data(), rootNameLength);
    rootName.resize(std::strlen(rootName.c_str()));
    auto root = std::make_unique<TemplateFolder>(rootNameLength != 0 ? rootName.c_str() : nullptr, nullptr);
    if (!ReadFolderRecord(in, root.get(), stubs, 0))
    {
        // The folders own the stubs they took; detach them so that each is deleted once.
        root->DetachAllStubs();
        root.reset();
        return fail("the folder records are cut short or nest too deep", count);
    }
    for (EntityTemplateStub* stub : stubs)
    {
        RegisterGUID(stub);
        if (stub->GetFolder() == nullptr)
            m_stubs.Add(stub);
    }
    m_root = std::move(root);
    return true;
}

bool TemplateManager::ReadFolderRecord(RecordInput& in, TemplateFolder* folder,
                                       const Dynarray<EntityTemplateStub*>& stubs, int depth)
{
    uint32_t stubCount = 0;
    uint32_t folderCount = 0;
    if (!in.ReadU32(stubCount) || stubCount > in.Remaining() / 16)
        return false;
    for (uint32_t s = 0; s < stubCount; ++s)
    {
        SimpleGUID guid;
        in.ReadBytes(guid.bytes, 16);
        const int32_t at = LowerBound(stubs, guid);
        // Unknown GUIDs are skipped; a stub listed twice stays in its first folder.
        if (at < stubs.Count() && stubs[at]->GetGUID() == guid && stubs[at]->GetFolder() == nullptr)
            folder->AddStub(stubs[at], false);
    }
    if (!in.ReadU32(folderCount) || folderCount > in.Remaining() / 12 || depth >= 64)
        return false;
    for (uint32_t f = 0; f < folderCount; ++f)
    {
        uint32_t nameLength = 0;
        if (!in.ReadU32(nameLength) || nameLength > in.Remaining())
            return false;
        std::string name(nameLength, '\0');
        in.ReadBytes(name.data(), nameLength);
        // The stored length counts the terminator.
        name.resize(std::strlen(name.c_str()));
        TemplateFolder* child = folder->AddSubfolder(new TemplateFolder(nameLength != 0 ? name.c_str() : nullptr, folder));
        if (!ReadFolderRecord(in, child, stubs, depth + 1))
            return false;
    }
    return true;
}

bool TemplateManager::RegisterStub(EntityTemplateStub* stub)
{
    TemplateManagerLockScope lock;
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
    TemplateManagerLockScope lock;
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
    TemplateManagerLockScope lock;
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
    // A stub in no folder (an optimized template of the scene, a registered one) has no path: it
    // is found by its GUID only.
    return m_root != nullptr ? m_root->FindStubByPath(path) : nullptr;
}

EntityTemplate* TemplateManager::GetTemplate(const char* path, bool load)
{
    EntityTemplateStub* stub = nullptr;
    {
        TemplateManagerLockScope lock;
        stub = FindStubByPath(path);
    }
    return stub != nullptr ? stub->GetTemplate(load) : nullptr;
}

EntityTemplate* TemplateManager::GetTemplateByGUID(const SimpleGUID& guid, bool load)
{
    EntityTemplateStub* stub = nullptr;
    {
        TemplateManagerLockScope lock;
        stub = FindStubByGUID(guid);
    }
    return stub != nullptr ? stub->GetTemplate(load) : nullptr;
}

EntityTemplate* TemplateManager::GetTemplateLocked(const char* path, bool wait)
{
    EntityTemplateStub* stub = nullptr;
    {
        TemplateManagerLockScope lock;
        stub = path != nullptr && path[0] != 0 ? FindStubByPath(path) : nullptr;
    }
    return LoadStubTemplate(stub, wait);
}

EntityTemplate* TemplateManager::GetTemplateByGUIDLocked(const SimpleGUID& guid, bool wait)
{
    EntityTemplateStub* stub = nullptr;
    {
        TemplateManagerLockScope lock;
        stub = FindStubByGUID(guid);
    }
    return LoadStubTemplate(stub, wait);
}

EntityTemplate* TemplateManager::LoadStubTemplate(EntityTemplateStub* stub, bool wait)
{
    if (stub == nullptr)
        return nullptr;
    EntityTemplate* const entityTemplate = stub->LoadTemplate(wait);
    if (entityTemplate == nullptr || !wait || entityTemplate->GetPool() == nullptr || entityTemplate->IsLoaded())
        return entityTemplate;
    entityTemplate->Resource::Release();
    return nullptr;
}

bool TemplateManager::RequestTemplateByName(const char* path)
{
    TemplateManagerLockScope lock;
    EntityTemplateStub* stub = FindStubByPath(path);
    if (stub == nullptr)
        return false;
    EntityTemplate* entityTemplate = stub->RequestTemplate();
    if (entityTemplate != nullptr && entityTemplate->GetPool() != nullptr)
        entityTemplate->RequestLoad();
    return entityTemplate != nullptr;
}

void TemplateManager::LoadOptimizedTemplates(const char* sceneName, const char* folder, uint8_t variation)
{
    const int64_t start = os::QueryCounter();
    FileReader stream;
    if (!stream.Open(sceneName, "opt", folder, 0) || stream.GetSize() < 8)
        return;
    uint32_t version = 0;
    uint32_t count = 0;
    stream.ReadU32(version);
    if (version < EntityTemplate::kCurrentFileVersion)
    {
        gConsole.Error(CONSOLE_CHANNEL_REPORT, "Wrong opt file version %s", sceneName);
        return;
    }
    // Each entry is at least its mask and its size word.
    if (!stream.ReadU32(count) || count > stream.GetRemaining() / 8)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Optimized templates of %s: count %u does not fit the file", sceneName,
                       count);
        return;
    }
    if (gResourceManager == nullptr)
    {
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Optimized templates of %s need the resource manager", sceneName);
        return;
    }
    std::vector<uint32_t> masks(count);
    for (uint32_t& mask : masks)
        stream.ReadU32(mask);

    // The class of each template is chosen before its body is read, so its type id is peeked from
    // the entry itself; the walk also finds where the entries stop being whole.
    std::vector<uint32_t> sizes(count, 0);
    std::vector<uint32_t> typeIds(count, 0);
    uint32_t whole = 0;
    {
        FileReader peek;
        peek.Open(sceneName, "opt", folder, 0);
        peek.Skip(8 + 4 * count);
        for (; whole < count; ++whole)
        {
            uint32_t size = 0;
            if (!peek.ReadU32(size) || size > peek.GetRemaining())
                break;
            uint8_t head[20] = {};
            if (size >= sizeof(head))
            {
                peek.Read(head, sizeof(head));
                peek.Skip(size - uint32_t(sizeof(head)));
            }
            else
            {
                peek.Skip(size);
            }
            sizes[whole] = size;
            typeIds[whole] = uint32_t(head[16]) | (uint32_t(head[17]) << 8) | (uint32_t(head[18]) << 16) |
                             (uint32_t(head[19]) << 24);
        }
    }
    if (whole < count)
        gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Optimized templates of %s: entry %u passes the end of the file",
                       sceneName, whole);

    std::vector<Resource*> list(whole, nullptr);
    std::vector<EntityTemplateStub*> made(whole, nullptr);
    for (uint32_t i = 0; i < whole; ++i)
    {
        if (variation < 255 && (masks[i] & (1u << (variation % 32))) == 0)
            continue;
        if (TemplateTypeRegistry::GetInstance().GetClassName(typeIds[i]) == nullptr)
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Optimized template %u of %s has the unknown type %u", i, sceneName,
                           typeIds[i]);
            continue;
        }
        char name[32];
        std::snprintf(name, sizeof(name), "#optimizedtemplate%03u", i);
        Resource* resource = gResourceManager->GetResource(RESOURCE_TYPE_TEMPLATE, name, typeIds[i], true, 0);
        EntityTemplate* entityTemplate = dynamic_cast<EntityTemplate*>(resource);
        if (entityTemplate == nullptr)
        {
            if (resource != nullptr)
                resource->Release();
            continue;
        }
        entityTemplate->SetOptimizedBodySize(sizes[i]);
        EntityTemplateStub* stub = new EntityTemplateStub;
        stub->SetFlags(EntityTemplateStub::FLAG_OPTIMIZED);
        stub->SetTypeId(typeIds[i]);
        {
            TemplateManagerLockScope lock;
            stub->SetTemplate(entityTemplate);
        }
        list[i] = entityTemplate;
        made[i] = stub;
    }
    gResourceManager->SetOptimizedTemplateStream(&stream);
    gResourceManager->QueueLoadBatch(list.data(), whole);
    // The stream is read until the last entry is walked, so the whole command must be done.
    gResourceManager->Flush();
    gResourceManager->SetOptimizedTemplateStream(nullptr);

    TemplateManagerLockScope lock;
    for (EntityTemplateStub* stub : made)
    {
        if (stub == nullptr)
            continue;
        EntityTemplate* entityTemplate = stub->GetTemplate();
        // A body that failed was reported by its reader; its stub never joins the registry.
        if (!entityTemplate->IsLoaded())
        {
            delete stub;
            continue;
        }
        stub->SetGUID(entityTemplate->GetGUID());
        stub->SetTypeId(entityTemplate->GetTypeId());
        if (!RegisterGUID(stub))
        {
            gConsole.Error(CONSOLE_CHANNEL_ENGINE, "Optimized template %s of %s has a GUID already registered",
                           entityTemplate->GetGUID().ToStringUnsafe(), sceneName);
            delete stub;
            continue;
        }
        m_stubs.Add(stub);
    }
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "LoadOptimizedTemplates in %f sec",
                    double(os::QueryCounter() - start) / double(os::kCounterFrequency));
}

void TemplateManager::Close()
{
    MeshEntity::SetGlobalShaderPreset(NameString());
    UnloadTemplates();
    UnloadUnusedTemplates();
    Clear();
}

void TemplateManager::UnloadTemplates()
{
    // Commands in flight may still name a template's render-side data.
    if (gRenderer != nullptr && gRenderer->IsStreamOpen())
        gRenderer->SubmitCommands(true);
    TemplateManagerLockScope lock;
    for (int32_t i = m_stubs.Count() - 1; i >= 0; --i)
    {
        EntityTemplateStub* stub = m_stubs[i];
        if ((stub->GetFlags() & EntityTemplateStub::FLAG_OPTIMIZED) != 0 && stub->UnloadTemplate())
        {
            UnregisterGUID(stub);
            m_stubs.RemoveAt(i);
            delete stub;
        }
    }
}

void TemplateManager::UnloadUnusedTemplates()
{
    const int64_t start = os::QueryCounter();
    {
        TemplateManagerLockScope lock;
        if (m_root != nullptr)
            m_root->ForEachStub([](EntityTemplateStub* stub) { stub->UnloadTemplate(); });
        for (EntityTemplateStub* stub : m_stubs)
            stub->UnloadTemplate();
    }
    UnloadTemplates();
    // A flush of a resource thread that never started would wait for ever.
    const bool resourceThread = gResourceManager != nullptr && gResourceManager->IsInitialised();
    if (resourceThread)
        gResourceManager->PostCommand(RESOURCE_POOL_TEMPLATES, 0, 0);
    // The eviction may wait on renderer jobs, so the pending render commands go before the flush.
    if (gRenderer != nullptr && gRenderer->IsStreamOpen())
        gRenderer->SubmitCommands(true);
    if (resourceThread)
        gResourceManager->Flush();
    gConsole.Printf(CONSOLE_INFO, CONSOLE_CHANNEL_ENGINE, "Unused templates unloaded in %f sec",
                    double(os::QueryCounter() - start) / double(os::kCounterFrequency));
}

void TemplateManager::Clear()
{
    TemplateManagerLockScope lock;
    m_guidIndex.FreeStorage();
    for (EntityTemplateStub* stub : m_stubs)
        stub->SetFlags(uint8_t(stub->GetFlags() & ~EntityTemplateStub::FLAG_GUID_INDEXED));
    m_stubs.DeleteAllPointers();
    if (m_root != nullptr)
        m_root->ForEachStub([](EntityTemplateStub* stub) {
            stub->SetFlags(uint8_t(stub->GetFlags() & ~EntityTemplateStub::FLAG_GUID_INDEXED));
        });
    m_root.reset();
    m_initialised = false;
}
