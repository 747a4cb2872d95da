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

// "Menu": a page of a tab button and an options panel holding a list of selectable entries. The
// demo's script presses the tab, picks an entry and drags the list through the screen's pointer
// input.
const char* const kMenu = R"(UIScreenRecipe
Name = Menu
  UIPageRecipe
  Name = Page
  Position = 860 40 0 1
  Size = 380 300 0 0
  Transparent = 1
    UIButtonRecipe
    Name = Tab
    Position = 0 0 0 1
    Size = 160 36 0 0
    Anchor by = 1
    Shader =
    Bi-state = 1
    Color = 230 180 40 255 1
    UIPanelRecipe
    Name = Options
    Position = 0 48 0 1
    Size = 380 240 0 0
    Color = 20 30 60 200 1
      UIListRecipe
      Name = List
      Position = 10 10 0 1
      Size = 360 220 0 0
      Selectable children = 1
      Clip children = 0
      Color = 0 0 0 0 1
        UIButtonRecipe
        Name = Entry
        Size = 360 40 0 0
        Anchor by = 1
        Shader =
        Bi-state = 1
        Color = 90 120 200 255 1
)";

bool AddTree(DataRoot& data, std::vector<TemplateStubEntry>& entries, const char* text, const char* path,
             const SimpleGUID& guid)
{
    std::string error;
    std::unique_ptr<UIScreenRecipe> root = UIRecipeTemplateWriter::ParseTree(text, error);
    if (root == nullptr)
    {
        std::fprintf(stderr, "make-demo-data: %s: %s\n", path, error.c_str());
        return false;
    }
    UIRecipeTemplateWriter::AddTemplate(data, entries, path, guid, *UIRecipeTemplateWriter::MakeTemplate(std::move(root)));
    return true;
}
} // namespace

namespace DemoScreens
{
bool Add(DataRoot& data, std::vector<TemplateStubEntry>& entries, const SimpleGUID& guid)
{
    return AddTree(data, entries, kScreen, "Demo/Screen", guid);
}

bool AddMenu(DataRoot& data, std::vector<TemplateStubEntry>& entries, const SimpleGUID& guid)
{
    return AddTree(data, entries, kMenu, "Demo/Menu", guid);
}
} // namespace DemoScreens
