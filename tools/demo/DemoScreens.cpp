#include "DemoScreens.h"

#include "DemoBodyNaming.h"

#include "tools/datakit/DataRoot.h"
#include "tools/datakit/TemplateWriter.h"
#include "tools/datakit/UIRecipeTemplateWriter.h"
#include "ui/recipes/UIRecipeTemplate.h"
#include "ui/recipes/UIScreenRecipe.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Lines = std::vector<std::string>;

Lines operator+(Lines lines, const Lines& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

// One recipe of the text form: its kind and name, then its property lines, all at `depth` levels
// of indentation (two spaces each).
std::string Recipe(int depth, const char* kind, const char* name, const Lines& lines)
{
    const std::string indent(size_t(depth) * 2, ' ');
    std::string text = indent + kind + "\n" + indent + "Name = " + name + "\n";
    for (const std::string& line : lines)
        text += indent + line + "\n";
    return text;
}

// A shadowed line of text in the system font at size 20; `content` says what it shows.
std::string Text(int depth, const char* name, const std::string& position, const std::string& width,
                 const Lines& content)
{
    return Recipe(depth, "UITextRecipe", name,
                  Lines{"Position = " + position, "Size = " + width + " 20 0 0", "Font = _system.ttf", "Font size = 20",
                        "Shadow position = 2 2 0 0", "Pixel perfect = 0"} +
                      content);
}

// A text of the string table, by its path.
std::string LocalizedText(int depth, const char* name, const std::string& position, const std::string& width,
                          const std::string& path)
{
    return Text(depth, name, position, width, {"Text = " + path, "Localized = 1"});
}

// A flat, two-state button placed by its anchor.
std::string Button(int depth, const char* name, const Lines& lines)
{
    return Recipe(depth, "UIButtonRecipe", name, Lines{"Anchor by = 1", "Shader =", "Bi-state = 1"} + lines);
}

// "Panel": a blue panel whose "Bar" the script fills, the localized title and a status line that
// shows the UI property the script sets.
std::string ScreenText()
{
    return "UIScreenRecipe\nName = Screen\n" +
           Recipe(1, "UIElementRecipe", "Panel", {"Position = 40 40 0 1", "Size = 420 110 0 0", "Color = 26 51 153 204 1"}) +
           Recipe(2, "UIElementRecipe", "Bar", {"Position = 10 20 0 1", "Size = 0 20 0 0", "Color = 255 204 26 255 1"}) +
           LocalizedText(2, "Title", "10 50 0 1", "400", "Demo/Title") +
           Text(2, "Status", "10 80 0 1", "400", {std::string("Auto property = ") + DemoScreens::kStatusProperty});
}

// "Menu": a page of a tab button and an options panel holding a list of selectable entries, made
// with the first entry's text of the string table and relabelled by the demo's script one by one.
// The script presses the tab, picks an entry and drags the list through the screen's pointer input;
// the list clips its entries, so a dragged one never covers the tab above the panel.
std::string MenuText()
{
    return "UIScreenRecipe\nName = Menu\n" +
           Recipe(1, "UIPageRecipe", "Page", {"Position = 860 40 0 1", "Size = 380 300 0 0", "Transparent = 1"}) +
           Button(2, "Tab", {"Position = 0 0 0 1", "Size = 160 36 0 0", "Color = 230 180 40 255 1"}) +
           LocalizedText(3, "Label", "10 8 0 1", "140", "Demo/Options") +
           Recipe(2, "UIPanelRecipe", "Options", {"Position = 0 48 0 1", "Size = 380 240 0 0", "Color = 20 30 60 200 1"}) +
           // Drawn (not transparent), so that its entries show and its drag moves it.
           Recipe(3, "UIListRecipe", "List",
                  {"Position = 10 10 0 1", "Size = 360 220 0 0", "Selectable children = 1", "Clip children = 1",
                   "Color = 40 50 90 255 1"}) +
           Button(4, "Entry", {"Size = 360 40 0 0", "Color = 90 120 200 255 1"}) +
           LocalizedText(5, "Label", "10 10 0 1", "340", "Demo/Entry1");
}

bool AddTree(DataRoot& data, std::vector<TemplateStubEntry>& entries, const std::string& text, const char* path,
             const SimpleGUID& guid)
{
    std::string error;
    std::unique_ptr<UIScreenRecipe> root = UIRecipeTemplateWriter::ParseTree(text.c_str(), error);
    if (root == nullptr)
    {
        std::fprintf(stderr, "make-demo-data: %s: %s\n", path, error.c_str());
        return false;
    }
    const std::unique_ptr<UIRecipeTemplate> body = UIRecipeTemplateWriter::MakeTemplate(std::move(root));
    DemoBodyNaming::Name(*body, path);
    UIRecipeTemplateWriter::AddTemplate(data, entries, path, guid, *body);
    return true;
}
} // namespace

namespace DemoScreens
{
bool Add(DataRoot& data, std::vector<TemplateStubEntry>& entries, const SimpleGUID& guid)
{
    return AddTree(data, entries, ScreenText(), "Demo/Screen", guid);
}

bool AddMenu(DataRoot& data, std::vector<TemplateStubEntry>& entries, const SimpleGUID& guid)
{
    return AddTree(data, entries, MenuText(), "Demo/Menu", guid);
}
} // namespace DemoScreens
