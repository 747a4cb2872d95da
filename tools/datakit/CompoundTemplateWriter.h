// Compound templates for tests and demo data: a CompoundTemplate (or a kind derived from it) with a
// tree of elements, written as a template body by the engine's own record writer, and the element
// option of the data-template command. Main thread.
#pragma once

#include "core/SimpleGUID.h"
#include "core/math/Matrix.h"

#include <memory>
#include <string>
#include <vector>

class CompoundTemplate;

// One element of a written compound and its children.
struct CompoundElementSpec
{
    std::string name;
    std::string templateName;
    Matrix location = Matrix::ONE;
    std::string shaderPreset;
    std::string animation;
    bool hidden = false;
    bool hiddenInGame = false;
    std::vector<CompoundElementSpec> children;
};

namespace CompoundTemplateWriter
{
// A compound template holding the elements; no element is resolved (that is the loader's job).
std::unique_ptr<CompoundTemplate> MakeTemplate(const std::vector<CompoundElementSpec>& elements);
// Adds the elements to a compound template of any kind, after the ones it has.
void AddElements(CompoundTemplate& compound, const std::vector<CompoundElementSpec>& elements);
// The template body (GUID, type 5, record).
std::vector<uint8_t> BuildBody(const std::vector<CompoundElementSpec>& elements, const SimpleGUID& guid);
// Parses the data-template option "--element": "<name> <template> [x y z] [preset=P] [animation=A]
// [hidden] [hiddeningame] [parent=<element name>]"; an element with a parent joins that element (the
// first of that name, at any depth). False with `error` set for a malformed option or a missing parent.
bool AddElementOption(CompoundTemplate& compound, const std::string& option, std::string& error);
} // namespace CompoundTemplateWriter
