// UIRecipeTemplate: the layout asset, a template (type 10) that holds one recipe tree whose root is
// always a UIScreenRecipe, plus four values of the layout editor. Screens and sub-recipes are built
// from it by name (UIRecipeBuild.h); every element built from it holds a user reference on it, so
// its tree outlives them.
//
// Record: the template's properties, then one byte (1: a root follows, 0: none) and the root's
// payload, all inside the template's record. Bodies written before kept the byte and the root after
// the record; they still read. The root lives as long as the template, since elements point at it: a
// root read goes into the same object, and a body without a root leaves the tree as it is. Reading is
// all or nothing: a root that does not read whole fails the load and the old tree stays. The body is
// read where templates are read (the resource thread); building and the tree walks run on the main
// thread.
#pragma once

#include "core/containers/Dynarray.h"
#include "core/math/Vector.h"
#include "scene/entities/Entity.h"
#include "scene/templates/EntityTemplate.h"

#include <cstddef>
#include <cstdint>

class UIElementRecipe;
class UIScreenRecipe;

// The entity a layout asset makes; it carries nothing of its own.
class UIRecipeEntity : public Entity
{
    RTTI_DECLARE_CLASS(UIRecipeEntity, Entity)
};

// A layout asset.
class UIRecipeTemplate : public EntityTemplate
{
    RTTI_DECLARE_CLASS(UIRecipeTemplate, EntityTemplate)

public:
    static constexpr uint32_t kTypeId = 10;

    UIRecipeTemplate();
    ~UIRecipeTemplate() override;

    const char* GetTemplateClassName() const override { return "UIRecipeTemplate"; }
    Entity* CreateEntity() override;
    const char* GetEntityClassName() const override { return "UIRecipeEntity"; }
    void InvalidateSafePointers() override;
    // The properties, the root marker and the root; a null buffer asks for the size.
    size_t SerializeToMemory(uint8_t* buffer, size_t capacity, uint32_t flags) override;
    // With flag 4 (how bodies are read) the tree's pictures load before it returns.
    bool DeserializeFromMemory(const uint8_t* buffer, size_t size, uint32_t flags, size_t* consumed = nullptr) override;
    // Only bodies of the earlier form have bytes after the record: the marker and the root.
    bool ReadBodyBlocks(RecordInput& in, uint32_t version) override;
    // Asks for every prefab's template, then builds the whole tree once and releases it, so that
    // every widget asks for its fonts, textures and templates ahead of the real build.
    void PrepareDependencies() override;
    // The template's own flags, then every resource of the tree.
    void SetResourceFlags(uint32_t flags) override;
    // Evicting the template's data drops the resources its recipes hold.
    void UnloadData() override;

    // The root, made as an empty screen recipe on first use.
    UIElementRecipe* GetRootRecipe();
    bool HasRootRecipe() const { return m_root != nullptr; }
    // Takes ownership; the old tree is deleted (tools and tests build trees in code).
    void SetRootRecipe(UIScreenRecipe* root);

    Vector m_hierarchyViewLoc{0.0f, 0.0f, 0.0f, 0.0f};
    Vector m_layoutViewLoc{0.0f, 0.0f, 0.0f, 0.0f};
    int32_t m_layoutElementSnapValue = 0;
    int32_t m_layoutMarginSnapValue = 0;

private:
    // The root's payload in a record, when the marker says there is one.
    struct RootBytes
    {
        bool present = false;
        const uint8_t* data = nullptr;
        size_t size = 0;
    };
    // Reads the marker and checks that the root (when marked) reads whole, touching nothing.
    bool FindRoot(RecordInput& in, uint32_t flags, RootBytes& root);
    // Reads a found root into the root object, made when missing.
    bool ReadRoot(const RootBytes& root, uint32_t flags);

    UIScreenRecipe* m_root = nullptr;
    // The children of the root before a re-read: elements built from them may still point at them.
    Dynarray<UIElementRecipe*> m_retiredChildren;
    // Whether the last record read held the marker; then bytes after the record are not a root.
    bool m_rootInRecord = false;
};
