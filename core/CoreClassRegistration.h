// Registration of the core's reflected classes. Main thread, before any record is read; start-up,
// tests and tools call it, and calling it again changes nothing.
#pragma once

// Makes CoreConfig and the GUID replacement classes known to the class registry by name.
void RegisterCoreClasses();
