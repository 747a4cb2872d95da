// Registration of the renderer's reflected classes (shader objects and definitions, resource lists,
// outline settings, the template resource base). Main thread, before any record is read; start-up,
// tests and tools call it, and calling it again changes nothing.
#pragma once

// Makes the renderer's reflected classes known to the class registry by name.
void RegisterRendererClasses();
