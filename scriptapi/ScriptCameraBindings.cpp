#include "scriptapi/ScriptCameraBindings.h"

#include "engine/scripting/LuaWrapper.h"
#include "scene/cameras/GameCameraController.h"
#include "scene/cameras/NXBaseCameraSubcontroller.h"

NXBaseCameraSubcontroller* ScriptCameraAddNewSubcontroller(GameCameraController* controller, uint32_t kind)
{
    NXBaseCameraSubcontroller* const sub = controller->AddNewSubcontroller(kind);
    // The binding pushes the base class; an object the script side already holds as a derived
    // class keeps that class, so it is pushed once as what it is.
    if (sub != nullptr && gLua.PushObject(sub))
        gLua.Pop(1);
    return sub;
}
