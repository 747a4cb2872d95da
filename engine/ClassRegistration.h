// Registration of every reflected class the engine library holds, area by area. Main thread:
// engine start-up calls it first, and tests and tools call it before they read any record. Each
// subsystem that adds reflected classes adds its own Register<Area>Classes call here.
#pragma once

// Registers the classes of every built area; calling it again changes nothing.
void RegisterAllClasses();
