// The scene model's start-up registration: its reflected classes (by name, for records), the
// engine's template types and the entity-reference resolver of records. Called once by start-up,
// tools and tests before anything is read; calling it again changes nothing. Main thread.
#pragma once

// Registers the scene model's classes and template types.
void RegisterSceneClasses();
