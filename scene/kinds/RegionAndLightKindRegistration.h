// Registration of the trigger, light and scene-parameters kinds (templates made by class name,
// entities known by name). Called by RegisterSceneClasses on the main thread at start-up.
#pragma once

void RegisterRegionAndLightKinds();
