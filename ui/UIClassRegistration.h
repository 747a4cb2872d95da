// Registration of the user interface's reflected classes. Main thread, before any record is read;
// start-up, tests and tools call it, and calling it again changes nothing.
#pragma once

// Makes the user interface's reflected classes known to the class registry by name.
void RegisterUIClasses();
