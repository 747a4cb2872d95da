// Script forms of the camera controller's operations that need more than the generator gives.
// Main thread.
#pragma once

#include <cstdint>

class GameCameraController;
class NXBaseCameraSubcontroller;

// AddNewSubcontroller for scripts: the new sub-controller reaches the script as its own class
// (NXRTSCameraSubcontroller, ...), not as the base class the signature names.
NXBaseCameraSubcontroller* ScriptCameraAddNewSubcontroller(GameCameraController* controller, uint32_t kind);
