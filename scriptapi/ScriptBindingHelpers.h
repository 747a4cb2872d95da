// Script forms of engine operations whose C++ signature the generator cannot bind directly
// (printf-style logging, default labels, bounded indices). Main thread.
#pragma once

#include <cstdint>

class GameConsole;
struct BoundingBox4;
struct Matrix;
struct OBBox4;
struct Quaternion;
struct Vector;

// gConsole:Printf(kind, channel, text): the text is logged as it is, never as a format.
void ScriptConsolePrintf(GameConsole* console, uint32_t kind, uint8_t channel, const char* text);
void ScriptConsoleWarning(GameConsole* console, uint8_t channel, const char* text);
void ScriptConsoleError(GameConsole* console, uint8_t channel, const char* text);

// Vector:Log from scripts carries no label.
void ScriptVectorLog(const Vector* vector, uint32_t kind, uint8_t channel);
// Matrix:LoadQuaternion(q): the rotation with translation ZERO4.
void ScriptMatrixLoadQuaternion(Matrix* matrix, const Quaternion& q);
// Extent 0 to 2; other indices read the first extent and write nothing.
const Vector& ScriptOBBoxGetExtent(const OBBox4* box, uint32_t index);
void ScriptOBBoxSetExtent(OBBox4* box, uint32_t index, const Vector& extent);
