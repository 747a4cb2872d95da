// Binary templates of any registered template kind for tests and demo data: the template is made
// by class name, given its values from options, edited once (so derived data such as a flag's box
// or an animation graph's states follows its values) and written by the engine's record writer.
// Main thread.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

class EntityTemplate;

namespace DataTemplateWriter
{
// One option of a kind template: "--set" ("Name = value", any property with a text form),
// "--transition" ("from to animation", animation graphs), "--mesh" and "--particles" (the paths of
// a physical effect), "--system" ("Name = value" of a particle template's system), "--tree" (a behaviour tree: "Name" without nodes, or "Name = node" in the text form of BehaviourTreeText), "--key"
// ("seconds x y z w" for vector envelopes, "seconds r g b a multiplier" for colour envelopes),
// "--loop" ("name start end", seconds) and "--interpolation" ("None", "Linear", "CubicBezier") for
// either envelope kind, "--definition" ("Name = value" of an effect's definition) and
// "--sfx-element" ("[Kind:] Name = value; Name = value", an element of the kind, the base element
// without one, appended to an effect),
// "--element" (compound templates and their kinds; see CompoundTemplateWriter::AddElementOption).
using Option = std::pair<std::string, std::string>;

// The template of class `className` with the options applied; null with `error` set for an unknown
// class, a class that is not a template, or an option the kind does not take.
std::unique_ptr<EntityTemplate> MakeTemplate(const std::string& className, const std::vector<Option>& options,
                                             std::string& error);
} // namespace DataTemplateWriter
