// String and path utilities shared by the file system, configuration, script loader and text
// code: path joining and splitting, character replacement, 16-bit upper-casing through a fixed
// case table and code-page conversion. Pure functions: any thread may call them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// ASCII case-insensitive comparison (<0, 0, >0), bytes compared unsigned; null sorts first.
int StrICmp(const char* a, const char* b);
// Replaces every `from` byte by `to`; null and empty strings are left alone.
void StrReplaceChar(char* text, char from, char to);
// The text without the spaces, tabs and carriage returns at either end.
std::string TrimBlanks(const std::string& text);

// Upper-cases in place through the case table. With `keepPiped`, a '|' starts a run copied
// unchanged up to and including the next '|' (an unclosed run ends the work).
void WideStringToUpper(char16_t* text, bool keepPiped);
// Replaces *character by its upper-case form, or by 0 when the table has no pair for it.
void WideCharToUpper(char16_t* character);

// Code-page conversion into a terminated output. Null or empty input gives "" and true; else
// true when at least one unit was written. Output that does not fit gives "" and false.
// Sizes count units of the output, terminator included.
bool WideToMultiByte(char* out, size_t outSize, const char16_t* text, size_t length, uint32_t codePage);
bool MultiByteToWide(char16_t* out, size_t outSize, const char* text, size_t length, uint32_t codePage);
// As above for terminated input.
bool WideStringToMultiByte(char* out, size_t outSize, const char16_t* text, uint32_t codePage);
bool MultiByteStringToWide(char16_t* out, size_t outSize, const char* text, uint32_t codePage);
size_t WideStringLength(const char16_t* text);

// Copies the path up to (not including) its last '/' or '\'; "" when it has none.
void ExtractDirectory(char* out, size_t outSize, const char* path);
// Joins base directory, relative path and extension (without its dot) into one '/'-separated
// path; any part may be null. Bounded by outSize.
void BuildPath(char* out, size_t outSize, const char* path, const char* extension, const char* base);
// Copies the characters before the first '/' (or the whole path), at most outSize - 1 of them.
void GetFirstPathComponent(char* out, size_t outSize, const char* path);
// A disk path: "//...", a drive letter and ':', or (on this platform) a single leading '/'.
bool IsAbsolutePath(const char* path);
