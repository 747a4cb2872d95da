// Registers the behaviour tree node kinds, speakers and listeners with the class registry, so that
// trees read from templates can create them by name. Main thread, before any template is read.
#pragma once

void RegisterBehaviourTreeClasses();
