// Text form of a whole object record, for reading and editing records by hand: one line per
// property with a text form, "Name = text", class by class in record order. Container properties
// have no text form and are listed as comments; they keep the values the object already has.
#pragma once

#include <string>
#include <vector>

class RTTIPolyBaseClass;

// Writes the object's properties as text.
std::string RecordToText(const RTTIPolyBaseClass& object);
// The properties of the object's class that have no text form, in record order: a text can only keep
// them from a base record.
std::vector<std::string> PropertiesWithoutTextForm(const RTTIPolyBaseClass& object);
// Applies "Name = text" lines (blank lines and lines starting with '#' or '[' are skipped); false with
// `error` set at the first line naming no property or whose text does not parse.
bool RecordFromText(RTTIPolyBaseClass& object, const std::string& text, std::string& error);
