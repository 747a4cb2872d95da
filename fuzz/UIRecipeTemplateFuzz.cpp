// The record of a UI recipe template (its properties, root marker and root recipe tree) over
// arbitrary bytes. A record that reads must write back to bytes that read again and write the same;
// a read that fails must leave the template's earlier tree as it was; either way the root object stays.
#include "engine/ClassRegistration.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIRecipeTemplate.h"

#include <cstdint>
#include <vector>

namespace
{
std::vector<uint8_t> Write(UIRecipeTemplate& recipeTemplate)
{
    std::vector<uint8_t> bytes(recipeTemplate.SerializeToMemory(nullptr, 0, 0));
    bytes.resize(recipeTemplate.SerializeToMemory(bytes.data(), bytes.size(), 0));
    return bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = (RegisterAllClasses(), true);
    (void)registered;
    UIRecipeTemplate recipeTemplate;
    UIElementRecipe* const earlier = recipeTemplate.GetRootRecipe();
    const bool read = recipeTemplate.DeserializeFromMemory(data, size, RTTI_NO_ENTITY_RESOLVE);
    if (recipeTemplate.GetRootRecipe() != earlier)
        __builtin_trap();
    if (!read)
        return 0;
    const std::vector<uint8_t> written = Write(recipeTemplate);
    UIRecipeTemplate copy;
    size_t consumed = 0;
    if (!copy.DeserializeFromMemory(written.data(), written.size(), RTTI_NO_ENTITY_RESOLVE, &consumed) ||
        consumed != written.size() || Write(copy) != written)
        __builtin_trap();
    return 0;
}
