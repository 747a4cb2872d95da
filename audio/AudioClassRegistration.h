// Registration of the sound and video subsystem's reflected classes. Main thread, before any record
// is read; start-up, tests and tools call it, and calling it again changes nothing.
#pragma once

// Makes the sound entry records known to the class registry by name.
void RegisterAudioClasses();
