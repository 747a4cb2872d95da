// Registration of the engine's reflected classes (the configuration classes). Main thread, before
// any record is read; start-up, tests and tools call it, and calling it again changes nothing.
#pragma once

// Makes the user and project configuration classes known to the class registry by name.
void RegisterEngineClasses();
