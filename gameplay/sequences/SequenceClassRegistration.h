// Registers the sequence classes with the class registry, enters the built-in actions in the action
// factory and lets binary scenes hand their sequence payload to the sequence system. Main thread,
// at start-up (and in tests and tools before scenes are read).
#pragma once

void RegisterSequenceClasses();
