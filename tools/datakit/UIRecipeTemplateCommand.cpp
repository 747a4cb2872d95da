// ui-recipe-template <out.BinaryTemplate> <GUID> <tree.txt>: a layout asset's body from the text
// form of its recipe tree (UIRecipeTemplateWriter::ParseTree).
#include "engine/ClassRegistration.h"
#include "tools/datakit/DatakitCommand.h"
#include "tools/datakit/InputFile.h"
#include "tools/datakit/TemplateWriter.h"
#include "tools/datakit/UIRecipeTemplateWriter.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"

#include <cstdio>

int RunUIRecipeTemplateCommand(const std::vector<std::string>& arguments)
{
    SimpleGUID guid;
    if (arguments.size() != 3 || !guid.FromString(arguments[1].c_str()))
        return 2;
    std::string text;
    if (!ReadInputFile(arguments[2], text))
        return 1;
    RegisterAllClasses();
    std::string error;
    std::unique_ptr<UIScreenRecipe> root = UIRecipeTemplateWriter::ParseTree(text, error);
    if (root == nullptr)
    {
        std::fprintf(stderr, "datakit: %s: %s\n", arguments[2].c_str(), error.c_str());
        return 1;
    }
    const std::unique_ptr<UIRecipeTemplate> recipeTemplate = UIRecipeTemplateWriter::MakeTemplate(std::move(root));
    return TemplateWriter::WriteFile(arguments[0], UIRecipeTemplateWriter::BuildBody(*recipeTemplate, guid)) ? 0 : 1;
}
