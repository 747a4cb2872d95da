// The blocks of a UI recipe template body (root marker and root recipe tree) over arbitrary bytes.
// Blocks that read must write back to bytes that read again and write the same; a read that fails
// must leave the template's earlier tree as it was.
#include "core/reflection/RecordStream.h"
#include "engine/ClassRegistration.h"
#include "ui/recipes/UIElementRecipe.h"
#include "ui/recipes/UIRecipeTemplate.h"

#include <cstdint>
#include <vector>

namespace
{
std::vector<uint8_t> Write(const UIRecipeTemplate& recipeTemplate)
{
    RecordOutput count(nullptr, 0, false);
    recipeTemplate.WriteBodyBlocks(count);
    std::vector<uint8_t> bytes(count.Size());
    RecordOutput out(bytes.data(), bytes.size(), false);
    recipeTemplate.WriteBodyBlocks(out);
    return bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = (RegisterAllClasses(), true);
    (void)registered;
    UIRecipeTemplate recipeTemplate;
    UIElementRecipe* const earlier = recipeTemplate.GetRootRecipe();
    RecordInput in(data, size);
    if (!recipeTemplate.ReadBodyBlocks(in, EntityTemplate::kCurrentFileVersion))
    {
        if (recipeTemplate.GetRootRecipe() != earlier)
            __builtin_trap();
        return 0;
    }
    const std::vector<uint8_t> written = Write(recipeTemplate);
    UIRecipeTemplate copy;
    RecordInput again(written.data(), written.size());
    if (!copy.ReadBodyBlocks(again, EntityTemplate::kCurrentFileVersion) || again.Remaining() != 0 ||
        Write(copy) != written)
        __builtin_trap();
    return 0;
}
