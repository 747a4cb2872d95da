// EntityTemplate: the shared definition entities are made from, and base of every template kind.
// A template is a resource (type 4) named by its file path; its stub (EntityTemplateStub) stays
// resident while the template loads and unloads. User references count the entities that use it.
// Properties are built and entities created on the main thread; the resource side follows Resource.
#pragma once

#include "core/SimpleGUID.h"
#include "core/math/BoundingBox4.h"
#include "core/math/HDRColor.h"
#include "core/reflection/RTTIClass.h"
#include "renderer/resources/ResourceTemplate.h"

#include <cstdint>
#include <string>

class Entity;
class EntityTemplateStub;
class RecordInput;
class RecordOutput;

// Base of the preview instances that templates make for tools.
class EntityTemplatePreview
{
public:
    virtual ~EntityTemplatePreview() = default;
    // Ends the instance (instances that live on the render thread are deleted there).
    virtual void Destroy() { delete this; }
};

// Base template: script class, bounds, visibility defaults and the entity it makes.
class EntityTemplate : public ResourceTemplate
{
    RTTI_DECLARE_CLASS(EntityTemplate, RTTIPolyBaseClass)

public:
    // Resource flag: unload as soon as the last user releases the template.
    static constexpr uint32_t kUnloadWhenUnused = 0x200;
    static constexpr uint32_t kCurrentFileVersion = 53;

    EntityTemplate();
    ~EntityTemplate() override;

    // Kind hooks.
    virtual const char* GetTemplateClassName() const { return "EntityTemplate"; }
    virtual Entity* CreateEntity();
    virtual const char* GetEntityClassName() const { return "Entity"; }
    virtual void PrepareDependencies() {}
    virtual void SetResourceFlags(uint32_t flags);
    uint32_t GetResourceFlags() const;
    virtual bool DrawDebugShape(const Matrix& matrix, const HDRColor& color, uint32_t flags, uint32_t extra);
    virtual bool DrawDebug(const Matrix& matrix, uint32_t flags);
    // Tool previews: an instance the template plays by itself (none in the base), destroyed by the
    // same template; DrawPreview draws it and the debug shape.
    virtual EntityTemplatePreview* CreatePreviewInstance() { return nullptr; }
    virtual void DestroyPreviewInstance(EntityTemplatePreview* instance) { (void)instance; }
    virtual bool DrawPreview(const Matrix& matrix, const HDRColor& color, EntityTemplatePreview* instance);
    // Drops the parts of loaded data that nothing flagged for keeping (empty in the base).
    virtual void DeleteUnflaggedResources() {}
    virtual bool ReadsBody() const { return true; }
    virtual void OnBodyRead(uint32_t version) { m_fileVersion = version; }
    virtual void OnUnload() {}
    // Blocks a kind keeps in its body after the record, read with the body version and written in
    // the newest form (none in the base).
    virtual bool ReadBodyBlocks(RecordInput& in, uint32_t version);
    virtual void WriteBodyBlocks(RecordOutput& out) const;
    // Tells every live entity of this template that one of its properties changed.
    void OnPropertyChanged(const RTTIProperty* property) override;
    // The script function "IsLoadedClientSide" of the template's script class; false when it cannot run.
    bool IsLoadedClientSide() const;

    // Reads the body from the optimized templates stream or the ".BinaryTemplate" file.
    bool DoLoad() override;
    // Preheat: asks the file system to open this template's ".BinaryTemplate" ahead (not for
    // optimized templates, whose bodies share the open stream).
    void Prefetch() override;
    // Bytes of this template's entry in the optimized templates stream, set before it loads.
    void SetOptimizedBodySize(uint32_t size) { m_optimizedBodySize = size; }
    uint32_t GetOptimizedBodySize() const { return m_optimizedBodySize; }

    void AddRef() { ++m_userReferences; }
    // Drops one user; the last one unloads a template flagged kUnloadWhenUnused through its stub.
    void Release();
    uint32_t GetUserReferences() const { return m_userReferences; }

    void SetStub(EntityTemplateStub* stub) { m_stub = stub; }
    EntityTemplateStub* GetStub() const { return m_stub; }
    // The stub's file name, else the resource name, else "".
    const char* GetFileName() const;

    const SimpleGUID& GetGUID() const { return m_guid; }
    void SetGUID(const SimpleGUID& guid) { m_guid = guid; }
    uint32_t GetTypeId() const { return m_typeId; }
    void SetTypeId(uint32_t typeId) { m_typeId = typeId; }
    const char* GetLuaClass() const { return m_luaClass.c_str(); }
    void SetLuaClass(const char* name) { m_luaClass = name != nullptr ? name : ""; }
    const HDRColor& GetWireframeColor() const { return m_wireframeColor; }
    const BoundingBox4& GetStaticBoundingBox() const { return m_staticBoundingBox; }
    void SetStaticBoundingBox(const BoundingBox4& box) { m_staticBoundingBox = box; }
    uint32_t GetFaceCameraMode() const { return m_faceCameraMode; }
    float GetFaceCameraOffset() const { return m_faceCameraOffset; }
    float GetSortOffset() const { return m_sortOffset; }
    uint32_t GetInitializationPassCount() const { return m_initializationPassCount; }
    void SetInitializationPassCount(uint32_t count) { m_initializationPassCount = count; }
    uint8_t GetMinimumQualityLevel() const { return m_minimumQualityLevel; }
    bool IsVisibleInCombatView() const { return m_visibleInCombatView; }
    bool IsVisibleInTacticalView() const { return m_visibleInTacticalView; }
    uint8_t GetVisibleInTacticalExtended() const { return m_visibleInTacticalExtended; }
    bool ActivatesTriggers() const { return m_activatesTriggers; }
    uint32_t GetFileVersion() const { return m_fileVersion; }

protected:
    // Kinds draw their debug shapes in a colour of their own.
    void SetWireframeColor(const HDRColor& color) { m_wireframeColor = color; }

private:
    SimpleGUID m_guid;
    uint32_t m_typeId = 0;
    uint32_t m_userReferences = 0;
    EntityTemplateStub* m_stub = nullptr;
    std::string m_luaClass;
    HDRColor m_wireframeColor;
    BoundingBox4 m_staticBoundingBox = BoundingBox4::INVALID;
    uint32_t m_faceCameraMode = 0;
    float m_faceCameraOffset = 0.0f;
    float m_sortOffset = 0.0f;
    uint32_t m_initializationPassCount = 0;
    uint8_t m_minimumQualityLevel = 0;
    bool m_visibleInCombatView = true;
    bool m_visibleInTacticalView = false;
    bool m_activatesTriggers = false;
    uint8_t m_visibleInTacticalExtended = 0;
    uint32_t m_fileVersion = 0;
    uint32_t m_optimizedBodySize = 0;
    // Flags set while no resource manager runs (templates made in memory by tools and tests).
    uint32_t m_localFlags = 0;
};
