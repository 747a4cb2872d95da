#include "scriptapi/ScriptBindingHelpers.h"

#include "core/console/GameConsole.h"
#include "core/math/Matrix.h"
#include "core/math/OBBox4.h"
#include "core/math/Quaternion.h"

void ScriptConsolePrintf(GameConsole* console, uint32_t kind, uint8_t channel, const char* text)
{
    console->Printf(kind, channel, "%s", text != nullptr ? text : "");
}

void ScriptConsoleWarning(GameConsole* console, uint8_t channel, const char* text)
{
    console->Warning(channel, "%s", text != nullptr ? text : "");
}

void ScriptConsoleError(GameConsole* console, uint8_t channel, const char* text)
{
    console->Error(channel, "%s", text != nullptr ? text : "");
}

void ScriptVectorLog(const Vector* vector, uint32_t kind, uint8_t channel)
{
    vector->Log(kind, channel, nullptr);
}

void ScriptMatrixLoadQuaternion(Matrix* matrix, const Quaternion& q)
{
    matrix->LoadQuaternionAndTranslation(q, Vector::ZERO4);
}

const Vector& ScriptOBBoxGetExtent(const OBBox4* box, uint32_t index)
{
    return box->extents[index < 3 ? index : 0];
}

void ScriptOBBoxSetExtent(OBBox4* box, uint32_t index, const Vector& extent)
{
    if (index < 3)
        box->extents[index] = extent;
}
