// Layout assets (UI recipe templates) for tests and demo data: a recipe tree built in code becomes a
// template body (the template's record, holding the root marker and the root's payload) and, in a data root,
// its ".BinaryTemplate" and ".template" stub. Bodies come from the engine's own writer. Any thread;
// no shared state.
#pragma once

#include "core/SimpleGUID.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DataRoot;
class UIRecipeTemplate;
class UIScreenRecipe;
struct TemplateStubEntry;

namespace UIRecipeTemplateWriter
{
// A recipe tree from its text form: a line naming a recipe class starts a recipe two spaces deeper
// than its parent (the root, "UIScreenRecipe", at the margin); "Name = value" lines set properties
// of the recipe started last; blank lines and lines starting with '#' are skipped. Null, with
// `error` naming the line, for an unknown class, a recipe without a parent, a second root or a
// value that does not parse.
std::unique_ptr<UIScreenRecipe> ParseTree(const std::string& text, std::string& error);
// The template's body: its GUID, type 10, its record and its tree.
std::vector<uint8_t> BuildBody(const UIRecipeTemplate& recipeTemplate, const SimpleGUID& guid);
// A template holding the tree (null: a layout without a root).
std::unique_ptr<UIRecipeTemplate> MakeTemplate(std::unique_ptr<UIScreenRecipe> root);
// Adds "<path>.BinaryTemplate" and "<path>.template" below "templates" in the data root, and the
// stub's entry (folder "templates/<path's folder>") for the packed index.
void AddTemplate(DataRoot& data, std::vector<TemplateStubEntry>& entries, const std::string& path,
                 const SimpleGUID& guid, const UIRecipeTemplate& recipeTemplate);
} // namespace UIRecipeTemplateWriter
