// Registration of the compound kinds: the compound template, its elements, the compound entity and
// the mapping records it embeds. Called by RegisterSceneClasses; main thread.
#pragma once

void RegisterCompoundKinds();
