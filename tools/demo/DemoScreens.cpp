#include "DemoScreens.h"

#include "tools/datakit/DataRoot.h"
#include "tools/datakit/TemplateWriter.h"
#include "tools/datakit/UIRecipeTemplateWriter.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"

#include <cstdio>
#include <memory>
#include <string>

namespace
{
// "Panel": a blue panel whose "Bar" the script fills, the title with its shadow, and a status line
// that shows the UI property the script sets.
const char* const kScreen = R"(UIScreenRecipe
Name = Screen
  UIElementRecipe
  Name = Panel
  Position = 40 40 0 1
  Size = 420 110 0 0
  Color = 26 51 153 204 1
    UIElementRecipe
    Name = Bar
    Position = 10 20 0 1
    Size = 0 20 0 0
    Color = 255 204 26 255 1
    UITextRecipe
    Name = Title
    Position = 10 50 0 1
    Size = 400 20 0 0
    Font = _system.ttf
    Font size = 20
    Text = Tessarine demo
    Shadow position = 2 2 0 0
    Pixel perfect = 0
    UITextRecipe
    Name = Status
    Position = 10 80 0 1
    Size = 400 20 0 0
    Font = _system.ttf
    Font size = 20
    Auto property = DemoStatus
    Pixel perfect = 0
)";
} // namespace

namespace DemoScreens
{
bool Add(DataRoot& data, std::vector<TemplateStubEntry>& entries, const SimpleGUID& guid)
{
    std::string error;
    std::unique_ptr<UIScreenRecipe> root = UIRecipeTemplateWriter::ParseTree(kScreen, error);
    if (root == nullptr)
    {
        std::fprintf(stderr, "make-demo-data: the demo screen: %s\n", error.c_str());
        return false;
    }
    UIRecipeTemplateWriter::AddTemplate(data, entries, "Demo/Screen", guid,
                                        *UIRecipeTemplateWriter::MakeTemplate(std::move(root)));
    return true;
}
} // namespace DemoScreens
