#include "tools/datakit/UIRecipeTemplateWriter.h"

#include "core/reflection/RTTIObjectSupport.h"
#include "tools/datakit/DataRoot.h"
#include "tools/datakit/RecordText.h"
#include "tools/datakit/SceneWriter.h"
#include "tools/datakit/TemplateWriter.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"

#include <sstream>

namespace UIRecipeTemplateWriter
{
std::unique_ptr<UIScreenRecipe> ParseTree(const std::string& text, std::string& error)
{
    std::unique_ptr<UIScreenRecipe> root;
    // The recipe last started at each depth; the last entry receives the property lines.
    std::vector<UIElementRecipe*> open;
    std::istringstream lines(text);
    int number = 0;
    for (std::string line; std::getline(lines, line);)
    {
        ++number;
        const std::string at = "line " + std::to_string(number) + ": ";
        const size_t indent = line.find_first_not_of(' ');
        if (indent == std::string::npos || line[indent] == '#' || line[indent] == '\r')
            continue;
        std::string body = line.substr(indent);
        while (!body.empty() && (body.back() == ' ' || body.back() == '\r'))
            body.pop_back();
        if (body.find('=') != std::string::npos)
        {
            std::string reason;
            if (open.empty() || !RecordFromText(*open.back(), body, reason))
            {
                error = at + (open.empty() ? "a property before any recipe" : reason);
                return nullptr;
            }
            continue;
        }
        const size_t depth = indent / 2;
        if (indent % 2 != 0 || (depth == 0) == (root != nullptr) || depth > open.size())
        {
            error = at + "recipe \"" + body + "\" has no place in the tree";
            return nullptr;
        }
        if (depth == 0)
        {
            if (body != "UIScreenRecipe")
            {
                error = at + "the root is a UIScreenRecipe, not \"" + body + "\"";
                return nullptr;
            }
            root.reset(new UIScreenRecipe);
            open.assign(1, root.get());
            continue;
        }
        UIElementRecipe* const recipe = rtti::CreateKindOf<UIElementRecipe>(body.c_str());
        if (recipe == nullptr)
        {
            error = at + "no recipe class \"" + body + "\"";
            return nullptr;
        }
        open.resize(depth);
        open.back()->AddChild(recipe);
        open.push_back(recipe);
    }
    if (root == nullptr)
        error = "no root recipe";
    return root;
}

std::vector<uint8_t> BuildBody(const UIRecipeTemplate& recipeTemplate, const SimpleGUID& guid)
{
    return SceneWriter::BuildTemplateBody(recipeTemplate, guid, UIRecipeTemplate::kTypeId);
}

std::unique_ptr<UIRecipeTemplate> MakeTemplate(std::unique_ptr<UIScreenRecipe> root)
{
    std::unique_ptr<UIRecipeTemplate> recipeTemplate(new UIRecipeTemplate);
    recipeTemplate->SetRootRecipe(root.release());
    return recipeTemplate;
}

void AddTemplate(DataRoot& data, std::vector<TemplateStubEntry>& entries, const std::string& path,
                 const SimpleGUID& guid, const UIRecipeTemplate& recipeTemplate)
{
    const size_t slash = path.rfind('/');
    TemplateStubEntry entry;
    entry.folder = slash == std::string::npos ? "templates" : "templates/" + path.substr(0, slash);
    entry.name = slash == std::string::npos ? path : path.substr(slash + 1);
    entry.guid = guid;
    entry.typeId = UIRecipeTemplate::kTypeId;
    entries.push_back(entry);
    const std::vector<uint8_t> body = BuildBody(recipeTemplate, guid);
    data.AddFile("templates", path + ".BinaryTemplate", std::string(body.begin(), body.end()));
    data.AddFile("templates", path + ".template", TemplateWriter::MakeStubText(guid, UIRecipeTemplate::kTypeId));
}
} // namespace UIRecipeTemplateWriter
