// Registration of the data-only template kinds (flag, effect, envelope, in-game UI, behaviour tree,
// animation graph and physical effect templates) and the entities and embedded classes they make,
// so records and template bodies can name them. Main thread, called by RegisterSceneClasses;
// calling it again changes nothing.
#pragma once

// Makes the data-only kinds' classes known to the class registry by name.
void RegisterDataTemplateKinds();
