// The demo's UI screens: layout assets written from the text form of their recipe trees, which the
// demo's scripts build with UIElement.CreateFromRecipe. Main thread.
#pragma once

#include "core/SimpleGUID.h"

#include <vector>

class DataRoot;
struct TemplateStubEntry;

namespace DemoScreens
{
// The UI property the status line shows (listed in the project configuration's property names).
constexpr const char* kStatusProperty = "DemoStatus";
// Adds "templates/Demo/Screen" with its stub entry; false (told) when the tree does not parse.
bool Add(DataRoot& data, std::vector<TemplateStubEntry>& entries, const SimpleGUID& guid);
// Adds "templates/Demo/Menu": a page with a tab button and a panel holding a list.
bool AddMenu(DataRoot& data, std::vector<TemplateStubEntry>& entries, const SimpleGUID& guid);
} // namespace DemoScreens
